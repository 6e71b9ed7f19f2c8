#pragma once
// The names under which the agent is published on the session bus.

namespace KDAutoUpdate::DBusNames {

constexpr const char* kService = "org.kdautoupdate.KDAutoUpdate";
constexpr const char* kFactoryPath = "/org/kdautoupdate/KDAutoUpdate";
constexpr const char* kFactoryInterface = "org.kdautoupdate.KDAutoUpdate";
// Each published class's interface is this prefix and the class name.
constexpr const char* kInterfacePrefix = "org.kdautoupdate.";
// The interface a host implements on the object it registers with SetEventSink.
constexpr const char* kEventsInterface = "org.kdautoupdate.AuAgentEvents";
constexpr const char* kErrorPrefix = "org.kdautoupdate.Error.";
// A method with optional arguments is published twice: with every argument, and under this
// suffix with one a{sv} holding the given ones by name.
constexpr const char* kNamedSuffix = "Named";
// Nothing, where an object path is expected.
constexpr const char* kNothingPath = "/";

} // namespace KDAutoUpdate::DBusNames
