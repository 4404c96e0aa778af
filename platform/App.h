#pragma once

#include <cstdint>
#include <string>

// The runtime library's application object: one per process.
class App {
public:
    static App& Instance();

    virtual ~App() = default;
    // The application's name, "VitascanCmd".
    virtual std::wstring GetName() const;
    // The maker's name.
    virtual std::wstring GetVendor() const;
    // The application number the usage-intelligence service knows this tool by.
    virtual std::uint16_t GetApplicationNumber() const;
    // The closing call at the end of the process: flushes the standard streams and logs the
    // end. Later calls do nothing.
    virtual void Close();

protected:
    App() = default;

private:
    bool closed_ = false;
};
