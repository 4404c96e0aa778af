#pragma once

#include "platform/gtl_status.h"

#include <string>

namespace ws::analytics::legacy::impl {
// Posts the report as UTF-8 XML to the tracking URL (KES_TRACK_URL, else the configured
// default). Success is an HTTP 2xx answer; anything else is an error naming the URL.
gtl::status Track(const std::wstring& document);
} // namespace ws::analytics::legacy::impl
