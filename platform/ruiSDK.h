// The vendor's usage-intelligence SDK (ruiSDK_5.4.3.x64.dll): the functions this system
// calls. Texts are zero-terminated narrow texts; a result of 0 means success.
#pragma once

#include <cstdint>

#ifdef RUISDK_BUILDING_DLL
#define RUISDK_API __declspec(dllexport)
#else
#define RUISDK_API __declspec(dllimport)
#endif

extern "C" {

typedef struct RuiInstance* RUIINSTANCE;
typedef std::int32_t RUIRESULT;

RUISDK_API RUIINSTANCE ruiCreateInstance(bool multipleSessions);
RUISDK_API RUIRESULT ruiCreateConfig(RUIINSTANCE instance, const char* configPath,
                                     const char* productId, const char* applicationName,
                                     const char* server, std::int32_t protocol, const char* key,
                                     bool multipleSessions, bool reachOut);
RUISDK_API RUIRESULT ruiSetProductData(RUIINSTANCE instance, const char* edition,
                                       const char* applicationNumber, const char* version,
                                       const char* buildKind);
RUISDK_API RUIRESULT ruiStartSDK(RUIINSTANCE instance);
RUISDK_API RUIRESULT ruiStopSDK(RUIINSTANCE instance, std::int32_t waitSeconds);
RUISDK_API RUIRESULT ruiTrackEvent(RUIINSTANCE instance, const char* category, const char* name,
                                   const char* session);
RUISDK_API RUIRESULT ruiTrackEventText(RUIINSTANCE instance, const char* category, const char* name,
                                       const char* value, const char* session);
RUISDK_API RUIRESULT ruiDestroyInstance(RUIINSTANCE instance);
}
