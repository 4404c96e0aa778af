// WQL queries against the local ROOT\CIMV2 namespace, and the rendering of their rows as one
// self-closing element per instance. Shared by the system and process blocks.
#pragma once

#include "platform/gtl_status.h"
#include "vitascan/Markup.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include <oaidl.h>

struct IWbemClassObject;

namespace vitascan {

// One instance: every non-system property by name, sorted by UTF-16 code unit, as text.
using WmiRow = std::map<std::wstring, std::wstring>;

// A connection to ROOT\CIMV2. COM is initialised (multithreaded apartment) on the creating
// thread for the object's lifetime. A connection that could not be made answers every query
// with no rows; why it failed goes to the diagnostic log, never into the report.
class WmiConnection {
public:
    WmiConnection();
    // The same; the result of connecting, which is otherwise dropped, is copied to
    // *connectResult (diagnostics and tests).
    explicit WmiConnection(gtl::status* connectResult);
    ~WmiConnection();
    WmiConnection(const WmiConnection&) = delete;
    WmiConnection& operator=(const WmiConnection&) = delete;

    bool IsConnected() const { return state != nullptr; }

    // The rows of one WQL query, in the order WMI returned the instances; none when the
    // connection or the query failed.
    std::vector<WmiRow> Query(const std::wstring& query);

private:
    struct State;
    gtl::status Connect();

    std::unique_ptr<State> state;
};

// The text of one property of an instance; empty when it cannot be read.
std::wstring VariantToText(IWbemClassObject* instance, const std::wstring& propertyName);
// The text of a value as WMI delivers it: strings, small integers, floats, booleans and
// string arrays (joined by ","); "date" for a date; empty for every other type.
std::wstring VariantToText(const VARIANT& value);

// One element per row: indent, "<", the element name, then ` name="value"` for every
// property not in `excluded` (exact names), then "/>". Rows are separated by the writer's line
// end, with none after the last; no rows write nothing.
void WriteWmiRows(MarkupWriter& out, const std::vector<WmiRow>& rows, std::wstring_view elementName,
                  std::wstring_view indent, const std::vector<std::wstring>& excluded = {});
// The same as a text, rows separated by CR LF.
std::wstring WmiRowsToXml(const std::vector<WmiRow>& rows, std::wstring_view elementName,
                          std::wstring_view indent, const std::vector<std::wstring>& excluded = {});

} // namespace vitascan
