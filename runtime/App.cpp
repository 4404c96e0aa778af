#include "platform/App.h"

#include "platform/kes_diag.h"

#include <cstdio>

#ifndef VITASCAN_APP_NUMBER
#define VITASCAN_APP_NUMBER 1
#endif

namespace {
class VitascanApp final : public App {};
} // namespace

App& App::Instance() {
    static VitascanApp app;
    return app;
}

std::wstring App::GetName() const {
    return L"VitascanCmd";
}

std::wstring App::GetVendor() const {
    return L"Korvel AB";
}

std::uint16_t App::GetApplicationNumber() const {
    return VITASCAN_APP_NUMBER;
}

void App::Close() {
    if (closed_)
        return;
    closed_ = true;
    std::fflush(stdout);
    std::fflush(stderr);
    KES_LOG(kes::diag::kInfo, kes::diag::kGeneral, GetName() + L" closed");
}
