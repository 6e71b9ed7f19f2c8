#pragma once
// Introspection XML of the published interfaces, generated from the automation description.

#include <string>
#include <vector>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

// The D-Bus type signature of an automation type.
const char* DBusSignature(AuType type);
// Whether hosts hold objects of the class: the agent and the records its methods return. Such
// objects live until their holder releases them or leaves the bus.
bool HandedOutToHosts(const ClassDescription& type);
// One <interface> element: properties, methods (with the by-name form of methods with
// optional arguments), signals of the class's events, and the D-Bus service's own methods.
std::string InterfaceXml(const ClassDescription& type);
std::string FactoryInterfaceXml();
// The interface of a host's event sink: one method for each event with byRef arguments, taking
// every argument and returning the byRef ones.
std::string EventsInterfaceXml();
// A whole introspection document holding the interface `name` ("org.kdautoupdate.AuAgent"),
// empty for an unknown name.
std::string IntrospectionDocument(const std::string& name);
// The names of every published interface.
std::vector<std::string> PublishedInterfaceNames();

} // namespace KDAutoUpdate
