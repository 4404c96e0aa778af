// The remote-call protocol, system side. This folder holds all of it that is the system's:
//   RemoteCalls                    the sixteen calls, each bound to the service operation of
//                                  its name
//   sys_server_RemoteCallServer.h  one typed call: decodes the arguments, runs the operation
//                                  inside a guard, encodes and sends the reply
//   grammar_Tuple.h                the tuple and reply codecs
//   grammar_Scalars.h              the codecs of numbers, texts and booleans
// The runtime library supplies the rest, declared in platform/ and built in runtime/:
//   kes_grammar.h, Grammar.cpp             the item sequence and the status codec
//   sys_server.h, RemoteCallWorker.cpp     the call registry, and the worker that reads
//                                          requests and writes replies
//   sys_message.h, NamedPipeClient.cpp     the framed pipe
// Tests: tests/remote/ (codecs), tests/runtime/ (sequence, status codec, worker and typed
// call), tests/e2e/ (whole sessions, and the randomized server test ServerFuzzTests.cpp).
// docs/PROTOCOL.md describes the wire.
#pragma once

#include "analytics/IAnalyticsService.h"
#include "platform/sys_server.h"

namespace remote {

// The sixteen remote calls, each bound to the service operation of its name. The handlers
// hold the service by a plain pointer: it must outlive every copy of the registry.
sys::server::RemoteCallRegistry
MakeRemoteCallRegistry(kes::analytics::legacy::IAnalyticsService& service);

} // namespace remote
