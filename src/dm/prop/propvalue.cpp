// Values of properties: the typed setters and getters. Setting a value of another type moves the
// property to the (name, new type) entry of the name table; strings live in the list's heap.
#include <cmath>
#include <cstring>
#include <new>

#include "dm/prop/propInt.h"

namespace {

nyxVarString &textOf(nyxProp *p) { return *std::launder(reinterpret_cast<nyxVarString *>(p->d_value)); }
const nyxVarString &textOf(const nyxProp *p) {
    return *std::launder(reinterpret_cast<const nyxVarString *>(p->d_value));
}

// The entry to write to, after the checks every setter shares (null after storing the error).
nyxProp *writable(nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    nyxProp *p = nyxPropLive(list, index, err);
    if (p == nullptr) return nullptr;
    if (!nyx::trustedData() && nyxPropPriv::listReadOnly(list)) {
        return *err = cfidrErrNotOpenForUpdate, nullptr;
    }
    return p;
}

// The (name, type) entry for the property's new value type; null after storing 4.
nyxPropNameTableBucket *retype(nyxProp *p, int16_t type, cfidrErrorT *err) {
    if (p->d_entry->type == type) return p->d_entry;
    nyxPropNameTable *names = nyxPropNameTable::get();
    nyxPropNameTableBucket *e = names != nullptr ? names->add_name_type(p->d_entry->name, type) : nullptr;
    if (e == nullptr) *err = cfidrErrInternal;
    return e;
}

void setWord(nyxPropList *list, uint32_t index, int16_t type, const void *word, cfidrErrorT *err) {
    nyxProp *p = writable(list, index, err);
    if (p == nullptr) return;
    nyxPropNameTableBucket *e = retype(p, type, err);
    if (e == nullptr) return;
    recordPropChange(list);
    if (nyxPropTypeHasString(p->type())) textOf(p).clear();
    std::memset(p->d_value, 0, sizeof p->d_value);
    std::memcpy(p->d_value, word, 4);
    p->d_entry = e;
}

void setText(nyxPropList *list, uint32_t index, int16_t type, const char *text, cfidrErrorT *err) {
    nyxProp *p = writable(list, index, err);
    if (p == nullptr) return;
    if (text == nullptr) return void(*err = cfidrErrBadValue);
    nyxPropNameTableBucket *e = retype(p, type, err);
    if (e == nullptr) return;
    // The copy is made before the old value goes, so that a failure keeps the old value.
    nyxVarString copy;
    if (!copy.setString(text, list->d_heap)) return void(*err = cfidrErrInternal);
    recordPropChange(list);
    if (nyxPropTypeHasString(p->type())) textOf(p).clear();
    std::memcpy(p->d_value, static_cast<const void *>(&copy), sizeof p->d_value);
    p->d_entry = e;
}

// The entry to read, checking its type unless trusted program mode is on (15).
const nyxProp *readable(const nyxPropList *list, uint32_t index, bool ok(int16_t), cfidrErrorT *err) {
    const nyxProp *p = nyxPropLive(list, index, err);
    if (p == nullptr) return nullptr;
    if (ok(p->type())) return p;
    if (!nyx::trustedProgram()) *err = cfidrErrWrongType;
    return nullptr;
}

bool isBoolean(int16_t t) { return t == nyxPropBoolean; }
bool isInt(int16_t t) { return t == nyxPropInt; }
bool isFloat(int16_t t) { return t == nyxPropFloat; }
bool isText(int16_t t) { return nyxPropTypeHasString(t); }

} // namespace

int32_t nyxProp::intValue() const {
    int32_t v;
    std::memcpy(&v, d_value, sizeof v);
    return v;
}

float nyxProp::floatValue() const {
    float v;
    std::memcpy(&v, d_value, sizeof v);
    return v;
}

const char *nyxProp::stringValue() const {
    if (!nyxPropTypeHasString(type())) return "";
    const char *s = textOf(this).getString();
    return s != nullptr ? s : "";
}

void nyxPropSetBoolean(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err) {
    int32_t v = value != 0 ? 1 : 0;
    setWord(list, index, nyxPropBoolean, &v, err);
}

void nyxPropSetInt(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err) {
    setWord(list, index, nyxPropInt, &value, err);
}

void nyxPropSetFloat(nyxPropList *list, uint32_t index, float value, cfidrErrorT *err) {
    if (writable(list, index, err) == nullptr) return;
    if (std::isnan(value) || value < -1e37f || value > 1e37f) return void(*err = cfidrErrBadValue);
    setWord(list, index, nyxPropFloat, &value, err);
}

void nyxPropSetString(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err) {
    setText(list, index, nyxPropString, value, err);
}

void nyxPropSetExpression(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err) {
    setText(list, index, nyxPropExpression, value, err);
}

void setTripletValue(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err) {
    setText(list, index, nyxPropTriplet, value, err);
}

void setCasetripletValue(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err) {
    setText(list, index, nyxPropCaseTriplet, value, err);
}

void setDeletedValue(nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    setText(list, index, nyxPropDeleted, "", err);
}

int32_t nyxPropGetValueType(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = nyxPropLive(list, index, err);
    return p != nullptr ? p->type() : 0;
}

int32_t nyxPropGetBoolean(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = readable(list, index, isBoolean, err);
    return p != nullptr ? p->intValue() : 0;
}

int32_t nyxPropGetInt(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = readable(list, index, isInt, err);
    return p != nullptr ? p->intValue() : 0;
}

float nyxPropGetFloat(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = readable(list, index, isFloat, err);
    return p != nullptr ? p->floatValue() : 0.0f;
}

const char *nyxPropGetString(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = readable(list, index, isText, err);
    return p != nullptr ? p->stringValue() : "";
}
