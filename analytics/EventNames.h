// The suite's catalogue of usage-event names. The analytics service records any name and
// never looks at these; they are kept here so that the suite's callers, the tests and the
// benchmarks spell each event one way.
#pragma once

namespace kes::analytics::legacy::events {

inline constexpr wchar_t kProcessKesdata[] = L"analytics.process.kesdata";
inline constexpr wchar_t kSessionRun[] = L"session.run";
inline constexpr wchar_t kSessionInit[] = L"session.init";
inline constexpr wchar_t kFileOpen[] = L"file.open";
inline constexpr wchar_t kFileSave[] = L"file.save";
inline constexpr wchar_t kMeshGenerate[] = L"mesh.generate";
inline constexpr wchar_t kProjectContents[] = L"kesdata.projectcontents";

} // namespace kes::analytics::legacy::events
