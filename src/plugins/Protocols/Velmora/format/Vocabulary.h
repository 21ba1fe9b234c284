#pragma once

#include <QLatin1String>

// Element and attribute names of the zone configuration file, shared by the
// model, the editors and the service.
namespace Velmora {
namespace Xml {

// Elements
constexpr QLatin1String Zone("Zone");
constexpr QLatin1String Geometry("Geometry");
constexpr QLatin1String Controllers("Controllers");
constexpr QLatin1String Controller("Controller");
constexpr QLatin1String Calendar("Calendar");
constexpr QLatin1String DayCards("DayCards");
constexpr QLatin1String DayCard("DayCard");
constexpr QLatin1String Time("Time");
constexpr QLatin1String WeekDistribution("WeekDistribution");
constexpr QLatin1String Strategies("Strategies");
constexpr QLatin1String Strategy("Strategy");
constexpr QLatin1String Areas("Areas");
constexpr QLatin1String Area("Area");
constexpr QLatin1String States("States");
constexpr QLatin1String State("State");
constexpr QLatin1String Program("Program");
constexpr QLatin1String Phase("Phase");
constexpr QLatin1String SpecialDays("SpecialDays");
constexpr QLatin1String SpecialDay("SpecialDay");
constexpr QLatin1String NativeData("NativeData");
constexpr QLatin1String DefaultState("DefaultState");
constexpr QLatin1String Programs("Programs");
constexpr QLatin1String Phases("Phases");

// Attributes
constexpr QLatin1String id("id");
constexpr QLatin1String name("name");
constexpr QLatin1String version("version");
constexpr QLatin1String strategy_id("strategy_id");
constexpr QLatin1String state_id("state_id");
constexpr QLatin1String program_id("program_id");
constexpr QLatin1String state("state");
constexpr QLatin1String default_("default");
constexpr QLatin1String control_source("control_source");
constexpr QLatin1String day("day");
constexpr QLatin1String type("type");
constexpr QLatin1String cycle_length("cycle_length");
constexpr QLatin1String cycle_shift("cycle_shift");
constexpr QLatin1String start("start");
constexpr QLatin1String length("length");
constexpr QLatin1String full_length("full_length");
constexpr QLatin1String predefined_state("predefined_state");
constexpr QLatin1String default_control_source("default_control_source");
constexpr QLatin1String semtra_index("semtra_index");
constexpr QLatin1String min("min");
constexpr QLatin1String max("max");
constexpr QLatin1String user("user");
constexpr QLatin1String stop_time("stop_time");
constexpr QLatin1String promtact_variant("promtact_variant");
constexpr QLatin1String promtact_on_enter_variant("promtact_on_enter_variant");

} // namespace Xml
} // namespace Velmora
