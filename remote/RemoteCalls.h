#pragma once

#include "analytics/IAnalyticsService.h"
#include "platform/sys_server.h"

namespace remote {

// The sixteen remote calls, each bound to the service operation of its name. The handlers
// hold the service by a plain pointer: it must outlive every copy of the registry.
sys::server::RemoteCallRegistry
MakeRemoteCallRegistry(kes::analytics::legacy::IAnalyticsService& service);

} // namespace remote
