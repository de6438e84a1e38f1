// The cross-reference of an occurrence property set: property lists by occurrence id, built for
// one occurrence tree on the walk's first look-up.
#include "config/occpropInt.h"

class nyxOccPropXref {};

namespace nyxOccPropXrefOps {

void clear(nyxOccPropSet *set) {
    delete set->d_xref;
    set->d_xref = nullptr;
}

} // namespace nyxOccPropXrefOps
