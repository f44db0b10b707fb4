// The census of the whole mission: which ways of destroying things the run
// has shown. Each path is noted when the machine shows it, never by a
// replaced routine: by the sample calls of the routines that destroy (the
// host's own sample hook at $E756, with the return address of the call
// and, for an explosion, the return address of its spawner's caller), or by
// the records' fields from one frame end to the next.
//
//   census_start(&run.paths_seen);  // before the first slice
//   ... census_frame_end() at each frame-end hook
#pragma once
#include <string>
#include <vector>

constexpr const char* census_installation_wreck = "installation wreck";
constexpr const char* census_hinstallation_wreck = "horizontal installation wreck";
constexpr const char* census_vehicle_with_units = "vehicle destroyed with its units";
constexpr const char* census_object_by_blast = "section object destroyed by a blast";
constexpr const char* census_object_by_probe = "section object destroyed by the probe";
constexpr const char* census_enemy_by_bullet = "enemy killed by a bullet";
constexpr const char* census_enemy_by_dot = "enemy killed by a dot bullet";
constexpr const char* census_enemy_by_effect = "enemy killed by an effect";
constexpr const char* census_enemy_by_blast = "enemy killed by a blast";
constexpr const char* census_homing_unit = "homing unit destroyed";
constexpr const char* census_chain = "chain explosion striking again";
constexpr const char* census_debris = "debris";
constexpr const char* census_impact = "impact";
constexpr const char* census_death_respawn = "player 2 died and respawned";

// Forgets what was seen and notes from now on into `seen` (null: nothing).
void census_start(std::vector<std::string>* seen);
// Registers the sample hook's handler (again after a state load).
void census_register_hooks();
// At each frame end: the paths shown by the records since the last one.
void census_frame_end();
