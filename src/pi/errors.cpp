// Texts of the error codes: 0-53 and the 26 extension codes 30001-30012, 31001-31014.
#include "pi/pi.h"

namespace nyxpi {
namespace {

const char *const kTexts[54] = {
    /* 0 */ "No error occurred.",
    /* 1 */ "Describer Port associated with PortInst not found.",
    /* 2 */ "Describer would recursively instantiate a view.",
    /* 3 */ "Describer View associated with Inst not found.",
    /* 4 */ "Internal error occurred in system implementing PI.",
    /* 5 */ "The attachment mode specified is out of the range of possible values.",
    /* 6 */ "The Describer OID refers to an unusable object.",
    /* 7 */ "The Describer OID refers to an object that is not a view.",
    /* 8 */ "The Direction is not a valid Port Direction.",
    /* 9 */ "The error code constant is out of the range of possible values.",
    /* 10 */ "The Value specified is out of the range of possible values.",
    /* 11 */ "The Iterator ID refers to a non-existant iterator.",
    /* 12 */ "The Iterator ID refers to an iterator over the wrong object type.",
    /* 13 */ "Member is not a valid array of member names.",
    /* 14 */ "Name is not a valid string or contains illegal characters.",
    /* 15 */ "The type of object specified cannot be handled by the function.",
    /* 16 */ "The Object ID does not refer to a usable object.",
    /* 17 */ "The Port OID does not refer to a usable object.",
    /* 18 */ "The Port OID refers to an object that is not a usable Port.",
    /* 19 */ "The PortInst OID does not refer to a usuable object.",
    /* 20 */ "The PortInst OID refers to an object that is not a usuable PortInst.",
    /* 21 */ "The ViewType specified is not a legal string or is the string reserved for the NetlistView.",
    /* 22 */ "The library specified is already open.",
    /* 23 */ "A port exists on the Describer View that does not exist as a PortInst.",
    /* 24 */ "No matches were found between the Scalar names when trying to attach.",
    /* 25 */ "An object with the same name already exists in this namespace.",
    /* 26 */ "The object that would be created already exists in the applicable scope.",
    /* 27 */ "The desired object could not be found.",
    /* 28 */ "The PortInst is already attached to a Net - it cannot be connected again.",
    /* 29 */ "The PortInst specified must be attached in order to be detached.",
    /* 30 */ "The Port is already attached to a Net - it cannot be connected again.",
    /* 31 */ "The Describer Port members differ from associated PortInst members.",
    /* 32 */ "The Port specified must be attached in order to be detached.",
    /* 33 */ "The View specified is already open.",
    /* 34 */ "Opening the object in update mode failed.",
    /* 35 */ "The IterMode specified is out of the range of legal values.",
    /* 36 */ "The attempted operation is not a legal operation.",
    /* 37 */ "Cannot connect objects not in the same view.",
    /* 38 */ "Cannot attach bundles to scalars.",
    /* 39 */ "The Library could not be opened.",
    /* 40 */ "The View could not be opened.",
    /* 41 */ "The AccessMode specified is out of the range of legal values.",
    /* 42 */ "The containing entity (Library or View) has not been opened for update.",
    /* 43 */ "Key is not a valid string or contains illegal characters.",
    /* 44 */ "The OID is not of type Net.",
    /* 45 */ "The OID is not of type PortBundle.",
    /* 46 */ "The position is not in the range 0 to one less than the size of the bundle.",
    /* 47 */ "The Bundle would contain itself or a sub-bundle of itself as a member.",
    /* 48 */ "There are multiple views of the same name in the same library or multiple views of the same type in the same library.",
    /* 49 */ "No matches were found for views meeting the view selection criteria specified by the SelectorSet.",
    /* 50 */ "The Net OID does not refer to a usable object.",
    /* 51 */ "The PortBundle OID does not refer to a usable object.",
    /* 52 */ "The Cell OID does not refer to a usable object.",
    /* 53 */ "The Instance would reference another view in the same cell.",
};

// One table of 26 texts: 30001-30012 at 0-11, 31001-31014 at 12-25.
const char *const kExtensionTexts[26] = {
    /* 30001 */ "Path is empty or contains invalid name strings.",
    /* 30002 */ "The DesignConfig OID does not refer to a usable object.",
    /* 30003 */ "The DesignConfig OID refers to an object that is not a valid DesignConfig.",
    /* 30004 */ "The OccPropSet OID does not refer to a usable object.",
    /* 30005 */ "The OccPropSet OID refers to an object that is not a valid OccPropSet.",
    /* 30006 */ "The DesignConfig could not be opened.",
    /* 30007 */ "The OccPropSet could not be opened.",
    /* 30008 */ "The OccPropSet is already open.",
    /* 30009 */ "The DesignConfig is already open.",
    /* 30010 */ "The SelectionMode specified is outside of the range of legal values.",
    /* 30011 */ "The RootView OID does not refer to a usable object.",
    /* 30012 */ "The RootView OID refers to an object that is not a valid NetlistView.",
    /* 31001 */ "The Object ID does not refer to a usable occurrence.",
    /* 31002 */ "The Occurrence Tree can not be computed.",
    /* 31003 */ "The Property Merge Mode specified is out of the range of legal values.",
    /* 31004 */ "The Port Scan Mode specified is out of the range of legal values.",
    /* 31005 */ "The Global Mode specified is out of the range of legal values.",
    /* 31006 */ "Expression function is missing arguments.",
    /* 31007 */ "Expression function has argument of the wrong type.",
    /* 31008 */ "String not found.",
    /* 31009 */ "Expression syntax error.",
    /* 31010 */ "Expression string not terminated.",
    /* 31011 */ "Divide by zero.",
    /* 31012 */ "Error during evaluation.",
    /* 31013 */ "Recursive expressions detected.",
    /* 31014 */ "Parameter value not found.",
};

} // namespace



// The static text of a code, or null for a code without one.
const char *errorText(int32_t code) {
    if (code >= cfidrErrNone && code <= cfidrErrSameCellInst) return kTexts[code];
    if (code >= nyxdrErrBadPath && code <= nyxdrErrRootViewNotNetlistView) {
        return kExtensionTexts[code - nyxdrErrBadPath];
    }
    if (code >= nyxdwErrOccUnusable && code <= nyxdwErrParamNotFound) {
        return kExtensionTexts[12 + code - nyxdwErrOccUnusable];
    }
    return nullptr;
}

} // namespace nyxpi

extern "C" {

NYX_API const char *cfidrPIGetErrorText(cfidrErrorT code, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (nyxpi::session(e) == nullptr) return "";
        if (code < cfidrErrNone || code > cfidrErrSameCellInst) {
            return nyxpi::fail(e, cfidrErrBadErrorCode), "";
        }
        return nyxpi::returnString(nyxpi::errorText(code), e);
    });
}

// Every extension code is translated here (the design-configuration codes too, which the
// standard table does not know); other codes go to cfidrPIGetErrorText.
NYX_API const char *nyxdwPIGetErrorText(cfidrErrorT code, cfidrErrorT *err) {
    if (code < nyxdrErrBadPath) return cfidrPIGetErrorText(code, err);
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (nyxpi::session(e) == nullptr) return "";
        const char *text = nyxpi::errorText(code);
        if (text == nullptr) return nyxpi::fail(e, cfidrErrBadErrorCode), "";
        return nyxpi::returnString(text, e);
    });
}

} // extern "C"
