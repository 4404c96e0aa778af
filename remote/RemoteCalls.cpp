#include "remote/RemoteCalls.h"

#include "remote/sys_server_RemoteCallServer.h"

#include <functional>
#include <memory>

namespace remote {

namespace {

using kes::analytics::legacy::IAnalyticsService;
using sys::server::RemoteCallRegistry;

template <typename Signature>
void Add(RemoteCallRegistry& registry, const char* name, std::function<Signature> handler) {
    registry.Register(name,
                      std::make_shared<RemoteCallRegistry::ServerFunctor<std::function<Signature>>>(
                          std::move(handler)));
}

} // namespace

RemoteCallRegistry MakeRemoteCallRegistry(IAnalyticsService& service) {
    IAnalyticsService* s = &service;
    RemoteCallRegistry registry;
    Add<void(std::wstring)>(registry, "TrackEvent",
                            [s](std::wstring name) { s->TrackEvent(std::move(name)); });
    Add<void(std::wstring, std::wstring)>(registry, "TrackStringValueEvent",
                                          [s](std::wstring name, const std::wstring& value) {
                                              s->TrackStringValueEvent(std::move(name), value);
                                          });
    Add<void(std::wstring, unsigned int)>(registry, "TrackUnsignedValueEvent",
                                          [s](std::wstring name, unsigned int value) {
                                              s->TrackUnsignedValueEvent(std::move(name), value);
                                          });
    Add<unsigned int(std::wstring)>(registry, "TrackTimedEventStart", [s](std::wstring name) {
        return s->TrackTimedEventStart(std::move(name));
    });
    Add<void(unsigned int)>(registry, "TrackTimedEventEnd",
                            [s](unsigned int id) { s->TrackTimedEventEnd(id); });
    Add<void(bool)>(registry, "SetExcludePII", [s](bool exclude) { s->SetExcludePII(exclude); });
    Add<void(unsigned int)>(registry, "AddStandardGroup",
                            [s](unsigned int group) { s->AddStandardGroup(group); });
    Add<void(std::wstring)>(registry, "StartGroup",
                            [s](const std::wstring& name) { s->StartGroup(name); });
    Add<void(std::wstring, std::wstring)>(
        registry, "SetDataPoint",
        [s](const std::wstring& name, const std::wstring& value) { s->SetDataPoint(name, value); });
    Add<void()>(registry, "EndGroup", [s] { s->EndGroup(); });
    Add<void(std::wstring)>(registry, "SaveTo",
                            [s](const std::wstring& target) { s->SaveTo(target); });
    Add<gtl::status()>(registry, "Process", [s] { return s->Process(); });
    Add<gtl::status()>(registry, "ProcessStart", [s] { return s->ProcessStart(); });
    Add<std::wstring()>(registry, "GetNextStepDesc", [s] { return s->GetNextStepDesc(); });
    Add<std::tuple<gtl::status, bool>()>(registry, "ProcessNext", [s] { return s->ProcessNext(); });
    Add<int()>(registry, "GetProgressPct", [s] { return s->GetProgressPct(); });
    return registry;
}

} // namespace remote
