#include "Common/Failure.h"

#include <utility>

namespace failure {

void ThrowAt(gtl::status status, SourceLocation where) {
    status.set_location(where.file, where.line);
    throw gtl::status_exception(std::move(status));
}

} // namespace failure
