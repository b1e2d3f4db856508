// A standard variant enumerator (IEnumVARIANT) over a snapshot.
#pragma once

#include "platform/com/variant.h"

#include <vector>

namespace platform::com {

/// An enumerator over copies of the items: later changes to whatever the
/// items came from do not show in it. Clones share the snapshot and start
/// at the clone's position.
HRESULT createVariantEnumerator(std::vector<Variant> items, IEnumVARIANT** out);

}  // namespace platform::com
