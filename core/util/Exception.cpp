// The core's exception family; see Exception.h.
#include "Exception.h"

namespace lib {

void RuntimeException::Raise() const { throw RuntimeException(*this); }

void LogicalException::Raise() const { throw LogicalException(*this); }

}  // namespace lib
