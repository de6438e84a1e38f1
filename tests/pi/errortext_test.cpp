// Every named error code has the text the interface gives for its number: the names in the
// public headers and the texts of the two text functions agree.
#include <gtest/gtest.h>

#include <set>

#include "cfidr.h"
#include "nyxdw.h"

namespace {

struct NamedCode {
    cfidrErrorT code;
    const char *text;
};

const NamedCode kCodes[] = {
    {cfidrErrNone, "No error occurred."},
    {cfidrErrDescriberPortNotFound, "Describer Port associated with PortInst not found."},
    {cfidrErrRecursiveDescriber, "Describer would recursively instantiate a view."},
    {cfidrErrDescriberNotFound, "Describer View associated with Inst not found."},
    {cfidrErrInternal, "Internal error occurred in system implementing PI."},
    {cfidrErrBadAttachMode,
     "The attachment mode specified is out of the range of possible values."},
    {cfidrErrDescriberUnusable, "The Describer OID refers to an unusable object."},
    {cfidrErrDescriberNotView, "The Describer OID refers to an object that is not a view."},
    {cfidrErrBadDirection, "The Direction is not a valid Port Direction."},
    {cfidrErrBadErrorCode, "The error code constant is out of the range of possible values."},
    {cfidrErrBadValue, "The Value specified is out of the range of possible values."},
    {cfidrErrBadIterator, "The Iterator ID refers to a non-existant iterator."},
    {cfidrErrIterWrongType, "The Iterator ID refers to an iterator over the wrong object type."},
    {cfidrErrBadMemberNames, "Member is not a valid array of member names."},
    {cfidrErrBadName, "Name is not a valid string or contains illegal characters."},
    {cfidrErrWrongType, "The type of object specified cannot be handled by the function."},
    {cfidrErrObjectUnusable, "The Object ID does not refer to a usable object."},
    {cfidrErrPortUnusable, "The Port OID does not refer to a usable object."},
    {cfidrErrNotPort, "The Port OID refers to an object that is not a usable Port."},
    {cfidrErrPortInstUnusable, "The PortInst OID does not refer to a usuable object."},
    {cfidrErrNotPortInst, "The PortInst OID refers to an object that is not a usuable PortInst."},
    {cfidrErrBadViewType,
     "The ViewType specified is not a legal string or is the string reserved for the NetlistView."},
    {cfidrErrLibAlreadyOpen, "The library specified is already open."},
    {cfidrErrPortInstMissing,
     "A port exists on the Describer View that does not exist as a PortInst."},
    {cfidrErrNoNameMatch, "No matches were found between the Scalar names when trying to attach."},
    {cfidrErrNameTaken, "An object with the same name already exists in this namespace."},
    {cfidrErrAlreadyExists,
     "The object that would be created already exists in the applicable scope."},
    {cfidrErrNotFound, "The desired object could not be found."},
    {cfidrErrPortInstAttached,
     "The PortInst is already attached to a Net - it cannot be connected again."},
    {cfidrErrPortInstNotAttached,
     "The PortInst specified must be attached in order to be detached."},
    {cfidrErrPortAttached, "The Port is already attached to a Net - it cannot be connected again."},
    {cfidrErrMembersDiffer, "The Describer Port members differ from associated PortInst members."},
    {cfidrErrPortNotAttached, "The Port specified must be attached in order to be detached."},
    {cfidrErrViewAlreadyOpen, "The View specified is already open."},
    {cfidrErrUpdateOpenFailed, "Opening the object in update mode failed."},
    {cfidrErrBadIterMode, "The IterMode specified is out of the range of legal values."},
    {cfidrErrIllegalOperation, "The attempted operation is not a legal operation."},
    {cfidrErrNotSameView, "Cannot connect objects not in the same view."},
    {cfidrErrBundleToScalar, "Cannot attach bundles to scalars."},
    {cfidrErrLibOpenFailed, "The Library could not be opened."},
    {cfidrErrViewOpenFailed, "The View could not be opened."},
    {cfidrErrBadAccessMode, "The AccessMode specified is out of the range of legal values."},
    {cfidrErrNotOpenForUpdate,
     "The containing entity (Library or View) has not been opened for update."},
    {cfidrErrBadKey, "Key is not a valid string or contains illegal characters."},
    {cfidrErrNotNet, "The OID is not of type Net."},
    {cfidrErrNotPortBundle, "The OID is not of type PortBundle."},
    {cfidrErrBadPosition,
     "The position is not in the range 0 to one less than the size of the bundle."},
    {cfidrErrRecursiveBundle,
     "The Bundle would contain itself or a sub-bundle of itself as a member."},
    {cfidrErrAmbiguousView,
     "There are multiple views of the same name in the same library or multiple views of the "
     "same type in the same library."},
    {cfidrErrNoViewSelected,
     "No matches were found for views meeting the view selection criteria specified by the "
     "SelectorSet."},
    {cfidrErrNetUnusable, "The Net OID does not refer to a usable object."},
    {cfidrErrPortBundleUnusable, "The PortBundle OID does not refer to a usable object."},
    {cfidrErrCellUnusable, "The Cell OID does not refer to a usable object."},
    {cfidrErrSameCellInst, "The Instance would reference another view in the same cell."},
    {nyxdrErrBadPath, "Path is empty or contains invalid name strings."},
    {nyxdrErrDesignConfigUnusable, "The DesignConfig OID does not refer to a usable object."},
    {nyxdrErrNotDesignConfig,
     "The DesignConfig OID refers to an object that is not a valid DesignConfig."},
    {nyxdrErrOccPropSetUnusable, "The OccPropSet OID does not refer to a usable object."},
    {nyxdrErrNotOccPropSet,
     "The OccPropSet OID refers to an object that is not a valid OccPropSet."},
    {nyxdrErrDesignConfigOpenFailed, "The DesignConfig could not be opened."},
    {nyxdrErrOccPropSetOpenFailed, "The OccPropSet could not be opened."},
    {nyxdrErrOccPropSetAlreadyOpen, "The OccPropSet is already open."},
    {nyxdrErrDesignConfigAlreadyOpen, "The DesignConfig is already open."},
    {nyxdrErrBadSelectionMode,
     "The SelectionMode specified is outside of the range of legal values."},
    {nyxdrErrRootViewUnusable, "The RootView OID does not refer to a usable object."},
    {nyxdrErrRootViewNotNetlistView,
     "The RootView OID refers to an object that is not a valid NetlistView."},
    {nyxdwErrOccUnusable, "The Object ID does not refer to a usable occurrence."},
    {nyxdwErrOccTreeFailed, "The Occurrence Tree can not be computed."},
    {nyxdwErrBadMergeMode,
     "The Property Merge Mode specified is out of the range of legal values."},
    {nyxdwErrBadPortScanMode, "The Port Scan Mode specified is out of the range of legal values."},
    {nyxdwErrBadGlobalMode, "The Global Mode specified is out of the range of legal values."},
    {nyxdwErrMissingArgs, "Expression function is missing arguments."},
    {nyxdwErrArgWrongType, "Expression function has argument of the wrong type."},
    {nyxdwErrStringNotFound, "String not found."},
    {nyxdwErrSyntax, "Expression syntax error."},
    {nyxdwErrUnterminated, "Expression string not terminated."},
    {nyxdwErrDivideByZero, "Divide by zero."},
    {nyxdwErrEvaluation, "Error during evaluation."},
    {nyxdwErrRecursive, "Recursive expressions detected."},
    {nyxdwErrParamNotFound, "Parameter value not found."},
};

} // namespace

TEST(ErrorNames, EveryNameHasTheTextOfItsCode) {
    cfidrErrorT e = -1;
    cfidrPIInit(&e);
    std::set<cfidrErrorT> seen;
    for (const NamedCode &c : kCodes) {
        EXPECT_TRUE(seen.insert(c.code).second) << c.code << " is named twice";
        // The extension function translates every code; the standard one codes 0-53 only.
        EXPECT_STREQ(nyxdwPIGetErrorText(c.code, &e), c.text) << c.code;
        EXPECT_EQ(e, cfidrErrNone) << c.code;
        const bool standard = c.code <= cfidrErrSameCellInst;
        EXPECT_STREQ(cfidrPIGetErrorText(c.code, &e), standard ? c.text : "") << c.code;
        EXPECT_EQ(e, standard ? cfidrErrNone : cfidrErrBadErrorCode) << c.code;
    }
    // Every code with a text has a name: 0-53 and the 26 extension codes.
    EXPECT_EQ(seen.size(), 54u + 26u);
    EXPECT_EQ(*seen.rbegin(), nyxdwErrParamNotFound);
    cfidrPIQuit(&e);
}
