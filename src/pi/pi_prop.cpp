// Properties through the interface: creating, finding and listing the properties of any object
// (through its class's operations) and reading and writing a property's value.
//
// A property identifier is {object word of its list, tag 13 * 2 | index << 8}. The value
// operations are reached through the `own` slot of the property class row, so that the frame does
// not link the data model: without the row every property function answers 15.
#include "dm/prop/prop.h"
#include "pi/pi.h"

namespace {

using nyxpi::checkArg;
using nyxpi::classCode;

// The operations of a class that carries properties; null after storing 15 (occurrence
// identifiers and classes without the operation).
const nyxClassOps *ownerOps(cfiOID id, cfidrErrorT *e) {
    const nyxClassOps *ops = (id.tag & 1) != 0 ? nullptr : nyxpi::classOps(classCode(id.tag));
    if (ops == nullptr) nyxpi::fail(e, cfidrErrWrongType);
    return ops;
}

// Checks a property identifier and returns the value operations (null after storing the error).
const nyxPropClassOps *propArg(cfiOID prop, cfidrErrorT *e) {
    if (!checkArg(prop, nyxCodeProp, e)) return nullptr;
    const nyxClassOps *ops = nyxpi::classOps(nyxCodeProp);
    const auto *own = ops != nullptr ? static_cast<const nyxPropClassOps *>(ops->own) : nullptr;
    if (own == nullptr) nyxpi::fail(e, cfidrErrWrongType);
    return own;
}

nyxPropList *listOf(cfiOID prop) { return nyxpi::object<nyxPropList>(prop); }
uint32_t indexOf(cfiOID prop) { return nyxpi::memberIndex(prop.tag); }

} // namespace

extern "C" {

NYX_API cfiOID cfidrObjectCreateProp(cfiOID obj, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(obj, nyxCodeAnyObject, e)) return nyxpi::kNullOID;
        const nyxClassOps *ops = ownerOps(obj, e);
        if (ops == nullptr) return nyxpi::kNullOID;
        if (ops->createProp == nullptr) return nyxpi::fail(e, cfidrErrWrongType), nyxpi::kNullOID;
        nyxObjRef r = ops->createProp(nyxpi::address(obj.object), nyxpi::memberIndex(obj.tag), name, e);
        if (*e != 0) return nyxpi::kNullOID;
        return nyxpi::handOut(r, e);
    });
}

NYX_API cfiOID cfidrObjectFindPropByName(cfiOID obj, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(obj, nyxCodeAnyObject, e)) return nyxpi::kNullOID;
        const nyxClassOps *ops = ownerOps(obj, e);
        if (ops == nullptr) return nyxpi::kNullOID;
        if (ops->findPropByName == nullptr) {
            return nyxpi::fail(e, cfidrErrWrongType), nyxpi::kNullOID;
        }
        nyxObjRef r = ops->findPropByName(nyxpi::address(obj.object), nyxpi::memberIndex(obj.tag), name, e);
        if (*e != 0) return nyxpi::kNullOID;
        return nyxpi::handOut(r, e);
    });
}

NYX_API cfidrIterT cfidrObjectGetProps(cfiOID obj, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(obj, nyxCodeAnyObject, e)) return nyxpi::nullIter();
        const nyxClassOps *ops = ownerOps(obj, e);
        if (ops == nullptr) return nyxpi::nullIter();
        nyxGetterFn getter = ops->getters[nyxIterProp];
        if (getter == nullptr) return nyxpi::fail(e, cfidrErrWrongType), nyxpi::nullIter();
        nyxIter *it = getter(nyxpi::address(obj.object), nyxpi::memberIndex(obj.tag), e);
        if (*e != 0) {
            if (it != nullptr) it->ops->quit(it);
            return nyxpi::nullIter();
        }
        return nyxpi::handOutIter(it, nyxIterProp, e);
    });
}

NYX_API cfiOID cfidrPropGetOwner(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own == nullptr) return nyxpi::kNullOID;
        // The property must still be live; its list then knows the owner.
        own->valueType(listOf(prop), indexOf(prop), e);
        if (*e != 0) return nyxpi::kNullOID;
        // The session's compiler parameters belong to the session, which has no identifier.
        if (listOf(prop)->d_ownerCode == nyxCodeSession) {
            return nyxpi::fail(e, cfidrErrWrongType), nyxpi::kNullOID;
        }
        return nyxpi::handOut(own->owner(listOf(prop)), e);
    });
}

NYX_API cfidrValueTypeT cfidrPropGetValueType(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, cfidrValueTypeT{0}, [&](cfidrErrorT *e) -> cfidrValueTypeT {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own == nullptr) return 0;
        int32_t type = own->valueType(listOf(prop), indexOf(prop), e);
        // Deleted, triplet, case triplet and expression values are strings to this family.
        return type >= nyxdrDeletedValueType ? cfidrStringValueType : type;
    });
}

NYX_API nyxdrValueTypeT nyxdrPropGetValueType(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxdrValueTypeT{0}, [&](cfidrErrorT *e) -> nyxdrValueTypeT {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own == nullptr) return 0;
        return own->valueType(listOf(prop), indexOf(prop), e);
    });
}

NYX_API cfiBooleanEnum cfidrPropGetBooleanValue(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) -> cfiBooleanEnum {
        const nyxPropClassOps *own = propArg(prop, e);
        return own != nullptr ? own->getBoolean(listOf(prop), indexOf(prop), e) : 0;
    });
}

NYX_API int32_t cfidrPropGetInt32Value(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) -> int32_t {
        const nyxPropClassOps *own = propArg(prop, e);
        return own != nullptr ? own->getInt(listOf(prop), indexOf(prop), e) : 0;
    });
}

NYX_API float cfidrPropGetFloat32Value(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, 0.0f, [&](cfidrErrorT *e) -> float {
        const nyxPropClassOps *own = propArg(prop, e);
        return own != nullptr ? own->getFloat(listOf(prop), indexOf(prop), e) : 0.0f;
    });
}

NYX_API const char *cfidrPropGetStringValue(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own == nullptr) return "";
        const char *s = own->getString(listOf(prop), indexOf(prop), e);
        if (*e != 0) return "";
        return nyxpi::returnString(s, e);
    });
}

NYX_API void cfidrPropSetBooleanValue(cfiOID prop, cfiBooleanEnum value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own != nullptr) own->setBoolean(listOf(prop), indexOf(prop), value, e);
    });
}

NYX_API void cfidrPropSetInt32Value(cfiOID prop, int32_t value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own != nullptr) own->setInt(listOf(prop), indexOf(prop), value, e);
    });
}

NYX_API void cfidrPropSetFloat32Value(cfiOID prop, float value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own != nullptr) own->setFloat(listOf(prop), indexOf(prop), value, e);
    });
}

NYX_API void cfidrPropSetStringValue(cfiOID prop, const char *value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own != nullptr) own->setString(listOf(prop), indexOf(prop), value, e);
    });
}

NYX_API void cfidrPropSetExpressionValue(cfiOID prop, const char *value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxPropClassOps *own = propArg(prop, e);
        if (own != nullptr) own->setExpression(listOf(prop), indexOf(prop), value, e);
    });
}

} // extern "C"
