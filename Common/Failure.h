// One way to fail across layers: a status thrown as a gtl::status_exception with the source
// location it was raised at. The suite reads some locations in its error texts, so those are
// fixed names below; every other throw takes its location from the compiler (THROW_STATUS).
// Turning a caught exception back into a status is KesError::from_current_exception.
#pragma once

#include "platform/gtl_status.h"

#include <cstdint>

namespace failure {

struct SourceLocation {
    const char* file;
    std::uint32_t line;
};

// The locations that the system's own statuses carry. They name the suite's sources, where
// these texts were first raised, not the files of this tree: the tuple codec's and the typed
// call's live in remote/ here. Tests state the same values literally, so that a changed
// constant fails them.
inline constexpr SourceLocation kUnknownArgument{"app/VitascanCmd", 481};
inline constexpr SourceLocation kUnknownOption{"app/VitascanCmd", 501};
inline constexpr SourceLocation kPipeNotOpened{"app/VitascanCmd", 533};
inline constexpr SourceLocation kReplyNotSent{"Common/sys_server_RemoteCallServer", 172};
inline constexpr SourceLocation kTupleItemCount{"Common/grammar_Tuple", 117};

// Stores the location in the status and throws it.
[[noreturn]] void ThrowAt(gtl::status status, SourceLocation where);

} // namespace failure

// Throws `status` with the caller's source location, as the compiler gives it.
#define THROW_STATUS(status)                                                                       \
    ::failure::ThrowAt((status), ::failure::SourceLocation{__FILE__, __LINE__})
