#!/usr/bin/env python3
"""The script a user would write instead of ensemble_probe's JSON-only mode.

Usage: batch_peer.py <config_path> <output_dir>

For every combination of every group it reads and parses the base model and each parameter
file afresh, applies the "simplified_fabric", "tariff", "heat_source_wet" and "controls" merges
and the zone allocations, and writes the variant sorted with two-space indentation. Only the
standard library is used; nothing is cached across combinations.
"""
import itertools
import json
import os
import sys

RESERVED = {"base_json", "weather_files", "zone_allocations"}
PARTY_WALLS = {"BuildingElementAdjacentConditionedSpace",
               "BuildingElementAdjacentUnconditionedSpace_Simple"}


def read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def overlay(target, source):
    if isinstance(target, dict) and isinstance(source, dict):
        target.update(source)


def category(element):
    kind, pitch = element.get("type"), element.get("pitch")
    if type(pitch) is not int:
        pitch = None
    if kind == "BuildingElementOpaque" and pitch == 90:
        return "door" if element.get("is_external_door") == "TRUE" else "wall"
    if kind == "BuildingElementTransparent":
        return "window"
    if kind == "BuildingElementOpaque" and pitch is not None and pitch < 60:
        return "roof"
    if kind == "BuildingElementGround":
        return "ground"
    return "party_wall" if kind in PARTY_WALLS else None


def apply_fabric(zone, fabric):
    if not isinstance(zone, dict):
        return
    elements = zone.get("BuildingElement")
    for element in elements.values() if isinstance(elements, dict) else ():
        members = fabric.get(category(element)) if isinstance(element, dict) else None
        if members is not None:
            element.pop("r_c", None)
            element.pop("u_value", None)
            element.update(members)
    bridges, rules = zone.get("ThermalBridging"), fabric.get("ThermalBridging")
    if not isinstance(bridges, dict) or rules is None:
        return
    for bridge in bridges.values():
        if isinstance(bridge, dict) and bridge.get("type") == "ThermalBridgeLinear":
            overlay(bridge, rules.get("TB_linear"))
        elif isinstance(bridge, dict) and bridge.get("type") == "ThermalBridgePoint":
            overlay(bridge, rules.get("TB_point"))


def fabric_set(document):
    return {k: v for k, v in document.items() if isinstance(v, dict)}


def merge_fabric(model, parameter):
    zones = model.get("Zone")
    fabric = fabric_set(parameter)
    for zone in zones.values() if isinstance(zones, dict) else ():
        apply_fabric(zone, fabric)


def merge_tariff(model, parameter):
    if "Tariff" in parameter:
        overlay(model.setdefault("Tariff", {}), parameter["Tariff"])


def heat_source_sections(section):
    for system in section.values() if isinstance(section, dict) else ():
        if isinstance(system, dict) and isinstance(system.get("HeatSource"), dict):
            yield system["HeatSource"]


def merge_controls(model, parameter):
    source, target = parameter.get("Control"), model.get("Control")
    if isinstance(source, dict) and isinstance(target, dict):
        for name in ("HotWaterMin", "HotWaterMax", "hot_water_timer"):
            if name in source:
                target[name] = source[name]
    for sources in heat_source_sections(model.get("HotWaterSource")):
        for heat_source in sources.values():
            if isinstance(heat_source, dict):
                heat_source.update(Controlmin="HotWaterMin", Controlmax="HotWaterMax")


def merge_heat_source_wet(model, parameter):
    wet = parameter.get("HeatSourceWet")
    if not isinstance(wet, dict):
        return
    if isinstance(model.get("HeatSourceWet"), dict):
        model["HeatSourceWet"].update(wet)
    else:
        model["HeatSourceWet"] = wet
    if not wet:
        return
    name = min(wet)
    for heat_source in heat_source_sections(model.get("SpaceHeatSystem")):
        heat_source["name"] = name
    for heat_source in heat_source_sections(model.get("HotWaterSource")):
        heat_source.clear()
        heat_source[name] = {"type": "HeatSourceWet", "name": name, "temp_flow_limit_upper": 65,
                             "EnergySupply": "mains elec", "Controlmin": "HotWaterMin",
                             "Controlmax": "HotWaterMax", "heater_position": 0.1,
                             "thermostat_position": 0.33}


MERGES = {"simplified_fabric": merge_fabric, "tariff": merge_tariff,
          "controls": merge_controls, "heat_source_wet": merge_heat_source_wet}


def zone_prefix(zone):
    prefix = zone.replace(" ", "_")
    return prefix if prefix.startswith("zone_") else "zone_" + prefix


def serving(model, zone):
    systems = model.get("SpaceHeatSystem")
    for name in sorted(systems) if isinstance(systems, dict) else ():
        if isinstance(systems[name], dict) and systems[name].get("Zone") == zone:
            yield name, systems[name]


def allocate(model, zone, key, name, base):
    zones = model.get("Zone") if isinstance(model.get("Zone"), dict) else {}
    target = zones.get(zone) if isinstance(zones.get(zone), dict) else None
    if key == "control":
        controls = read_json(os.path.join(base, "controls", name + ".json")).get("Control")
        if not isinstance(controls, dict):
            return
        prefix = zone_prefix(zone)
        if isinstance(model.get("Control"), dict):
            for entry in ("space_heating_setpoint", "heating_timer"):
                if entry in controls:
                    model["Control"][prefix + "_" + entry] = controls[entry]
        for _, system in serving(model, zone):
            system["Control"] = prefix + "_space_heating_setpoint"
    elif key == "lighting":
        lighting = read_json(os.path.join(base, "lighting", name + ".json"))
        if "Lighting" in lighting and target is not None:
            target["Lighting"] = lighting["Lighting"]
    elif key == "simplified_fabric":
        fabric = fabric_set(read_json(os.path.join(base, "simplified_fabric", name + ".json")))
        if zone in zones:
            apply_fabric(zones[zone], fabric)
    elif key in ("space_cooling_system", "space_heat_control"):
        if target is not None:
            target["SpaceCoolSystem" if key == "space_cooling_system" else "SpaceHeatControl"] = name
    elif key == "space_heat_emitters":
        templates = read_json(os.path.join(base, "space_heat_emitters", name + ".json"))
        templates = templates.get("SpaceHeatSystem")
        if not isinstance(templates, dict) or not templates:
            return
        for system_name, system in serving(model, zone):
            replacement = templates[min(templates)]
            if isinstance(replacement, dict):
                for kept in ("Control", "Zone", "HeatSource"):
                    replacement.pop(kept, None)
                    if kept in system:
                        replacement[kept] = system[kept]
            model["SpaceHeatSystem"][system_name] = replacement
            break


def allocated_name(value):
    if isinstance(value, list):
        value = value[0] if value else None
    return value if isinstance(value, str) and value else None


def run_group(group_name, group, base, output_dir, config_name):
    keys = sorted(k for k, v in group.items() if k not in RESERVED and isinstance(v, list))
    allocations = group.get("zone_allocations")
    for index, values in enumerate(itertools.product(*(group[k] for k in keys))):
        model = read_json(os.path.join(base, "base_json", group["base_json"][0] + ".json"))
        for key, value in zip(keys, values):
            parameter = read_json(os.path.join(base, key, value + ".json"))
            MERGES.get(key, lambda m, p: None)(model, parameter)
        for zone in sorted(allocations) if isinstance(allocations, dict) else ():
            for key in sorted(allocations[zone]):
                name = allocated_name(allocations[zone][key])
                if name is not None:
                    allocate(model, zone, key, name, base)
        result_dir = os.path.join(output_dir, f"result_{config_name}_{group_name}_{index}")
        os.makedirs(result_dir, exist_ok=True)
        text = json.dumps(model, indent=2, sort_keys=True, ensure_ascii=False)
        with open(os.path.join(result_dir, group_name + ".json"), "w", encoding="utf-8") as f:
            f.write(text)
        print(f"JSON-ONLY MODE: Skipping simulation for {group_name}_{index}")


def main(argv):
    if len(argv) != 3:
        sys.exit(f"Usage: {argv[0]} <config_path> <output_dir>")
    config_path, output_dir = argv[1], argv[2]
    workspace = os.path.dirname(os.path.dirname(os.path.dirname(config_path)))
    base = os.path.join(workspace, "input", "batch_parameters")
    config_name = os.path.splitext(os.path.basename(config_path))[0]
    os.makedirs(output_dir, exist_ok=True)
    config = read_json(config_path)
    for group_name in sorted(config):
        if isinstance(config[group_name], dict):
            run_group(group_name, config[group_name], base, output_dir, config_name)


if __name__ == "__main__":
    main(sys.argv)
