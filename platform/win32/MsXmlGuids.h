#pragma once
// MSXML 6 identifiers: the SDK headers of this tool chain declare the interfaces but no import
// library defines their IIDs, and DOMDocument60's class id is not declared at all.

#include <windows.h>

#include <msxml2.h>

namespace KDAutoUpdate {

extern const CLSID kClsidDOMDocument60;

} // namespace KDAutoUpdate
