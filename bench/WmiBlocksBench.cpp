// Times the system block (all sections) and the process block against the bare WMI work they
// contain, in the same run: the same connection sequence and the same four queries, reading
// every non-system property of every instance, without any text or markup.
// Run under Wine: wine WmiBlocksBench.exe [rounds]
#include "platform/unique_handle.h"
#include "vitascan/blocks/ProcessBlock.h"
#include "vitascan/blocks/SystemBlock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <wbemidl.h>

namespace {

using Clock = std::chrono::steady_clock;

// COM and a ROOT\CIMV2 connection, made as the blocks make theirs.
class BareConnection {
public:
    BareConnection() {
        comInitialized_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWbemLocator, locator_.put_void())))
            return;
        const win::unique_bstr ns(::SysAllocString(L"ROOT\\CIMV2"));
        if (FAILED(locator_->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                           services_.put())))
            return;
        ::CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                            RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                            EOAC_NONE);
    }
    ~BareConnection() {
        services_.reset();
        locator_.reset();
        if (comInitialized_)
            ::CoUninitialize();
    }

    // Reads every value of every instance; returns how many values were read.
    size_t ReadAll(const wchar_t* query) {
        size_t values = 0;
        if (!services_)
            return values;
        const win::unique_bstr language(::SysAllocString(L"WQL"));
        const win::unique_bstr text(::SysAllocString(query));
        win::com_ptr<IEnumWbemClassObject> enumerator;
        services_->ExecQuery(language.get(), text.get(),
                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                             enumerator.put());
        if (!enumerator)
            return values;
        for (;;) {
            win::com_ptr<IWbemClassObject> instance;
            ULONG returned = 0;
            enumerator->Next(WBEM_INFINITE, 1, instance.put(), &returned);
            if (returned == 0 || !instance)
                break;
            win::unique_safearray names;
            if (FAILED(instance->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, names.put())))
                continue;
            LONG lower = 0;
            LONG upper = -1;
            ::SafeArrayGetLBound(names.get(), 1, &lower);
            ::SafeArrayGetUBound(names.get(), 1, &upper);
            for (LONG i = lower; i <= upper; ++i) {
                win::unique_bstr name;
                if (FAILED(::SafeArrayGetElement(names.get(), &i, name.put())))
                    continue;
                win::unique_variant value;
                if (SUCCEEDED(instance->Get(name.get(), 0, value.put(), nullptr, nullptr)))
                    ++values;
            }
        }
        return values;
    }

private:
    bool comInitialized_ = false;
    win::com_ptr<IWbemLocator> locator_;
    win::com_ptr<IWbemServices> services_;
};

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double BareQueries(size_t& values) {
    const auto start = Clock::now();
    {
        BareConnection system;
        values = system.ReadAll(L"SELECT * FROM Win32_OperatingSystem");
        values += system.ReadAll(L"SELECT * FROM Win32_Processor");
        values += system.ReadAll(L"SELECT * FROM Win32_ComputerSystem");
    }
    {
        BareConnection processes;
        values += processes.ReadAll(L"SELECT * FROM Win32_Process");
    }
    return Seconds(start);
}

double Blocks(size_t& characters) {
    const auto start = Clock::now();
    characters = vitascan::SystemBlock(false, vitascan::SystemBlock::kAllSections).GetXml().size();
    characters += vitascan::ProcessBlock().GetXml().size();
    return Seconds(start);
}

// The system block's sections that make no WMI query.
double SectionsWithoutWmi() {
    const auto start = Clock::now();
    vitascan::SystemBlock(false, vitascan::SystemBlock::kAllSections & ~vitascan::SystemBlock::kWmi)
        .GetXml();
    return Seconds(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = std::max(argc > 1 ? std::atoi(argv[1]) : 30, 1);
    size_t values = 0;
    size_t characters = 0;

    // The first round pays for loading the WMI provider, msi.dll and the display driver.
    const double coldBare = BareQueries(values);
    const double coldBlocks = Blocks(characters);

    std::vector<double> bare;
    std::vector<double> blocks;
    std::vector<double> withoutWmi;
    for (int i = 0; i < rounds; ++i) {
        // Alternate the order so that neither side always runs on a warmer cache.
        if (i % 2 == 0) {
            bare.push_back(BareQueries(values));
            blocks.push_back(Blocks(characters));
        } else {
            blocks.push_back(Blocks(characters));
            bare.push_back(BareQueries(values));
        }
        withoutWmi.push_back(SectionsWithoutWmi());
    }

    const double bareMedian = Median(bare);
    const double blocksMedian = Median(blocks);
    std::printf("values read by the bare queries:   %zu\n", values);
    std::printf("characters written by the blocks:  %zu\n", characters);
    std::printf("first round: bare %.2f ms, blocks %.2f ms\n", coldBare * 1e3, coldBlocks * 1e3);
    std::printf("median of %d rounds: bare %.2f ms, blocks %.2f ms\n", rounds, bareMedian * 1e3,
                blocksMedian * 1e3);
    std::printf("  of which the system sections without WMI: %.2f ms\n", Median(withoutWmi) * 1e3);
    std::printf("blocks / bare queries: %.2f (goal: at most 1.30)\n", blocksMedian / bareMedian);
    return 0;
}
