#pragma once

#include <string>

namespace vitascan {

// One step of the report: a block describes one part of the machine.
class IBlock {
public:
    virtual ~IBlock() = default;
    // The text shown while the step runs.
    virtual std::wstring GetDescription() = 0;
    // The block's whole XML fragment; called once, when its step runs. Never throws: a failed
    // probe gives its empty or default value.
    virtual std::wstring GetXml() = 0;
};

} // namespace vitascan
