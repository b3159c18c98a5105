#include "tools/mapc/mapc_access.h"

#include <cstring>

namespace velka::mapc {

namespace {

// Vehicles as numbered by the router.
enum { vPedestrian, vBicycle, vCar, vTaxi, vBus, vEmergency, vDelivery, vTruck, cVehicles };

constexpr WORD c_awClosed[cVehicles] = {0x2000, 0x4000, 0x0400, 0x1000, 0x0800, 0x0100, 0x0200, 0x8000};

// Keys that decide a vehicle's access, most specific first.
const char* const* KeysOf(int v) {
    static const char* const c_aPedestrian[] = {"foot", "access", nullptr};
    static const char* const c_aBicycle[] = {"bicycle", "vehicle", "access", nullptr};
    static const char* const c_aCar[] = {"motorcar", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aTaxi[] = {"taxi", "psv", "motorcar", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aBus[] = {"bus", "psv", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aEmergency[] = {"emergency", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aDelivery[] = {"goods", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aTruck[] = {"hgv", "goods", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const* const c_a[cVehicles] = {c_aPedestrian, c_aBicycle, c_aCar,      c_aTaxi,
                                                      c_aBus,        c_aEmergency, c_aDelivery, c_aTruck};
    return c_a[v];
}

bool IsClosedValue(const char* v) {
    for (const char* s : {"no", "private", "agricultural", "forestry", "military", "restricted"})
        if (!std::strcmp(v, s)) return true;
    return false;
}

bool In(const char* v, std::initializer_list<const char*> list) {
    if (!v) return false;
    for (const char* s : list)
        if (!std::strcmp(v, s)) return true;
    return false;
}

// The vehicles a key of restriction:<key> or except=<key> names.
BYTE VehiclesOfKey(const std::string& k) {
    if (k == "motorcar") return 1u << vCar;
    if (k == "motorcycle" || k == "moped" || k == "mofa") return 0; // not told apart from cars
    if (k == "hgv" || k == "goods") return (1u << vTruck) | (k == "goods" ? 1u << vDelivery : 0u);
    if (k == "psv") return (1u << vBus) | (1u << vTaxi);
    if (k == "bus") return 1u << vBus;
    if (k == "taxi") return 1u << vTaxi;
    if (k == "bicycle") return 1u << vBicycle;
    if (k == "emergency") return 1u << vEmergency;
    if (k == "delivery") return 1u << vDelivery;
    if (k == "motor_vehicle") return 0xFC;
    if (k == "vehicle") return 0xFE;
    if (k == "foot") return 1u << vPedestrian;
    return 0;
}

} // namespace

WORD RoadAccessFlags(const osmium::TagList& tags) {
    const char* hw = tags.get_value_by_key("highway");
    const bool fNonMotor = In(hw, {"footway", "path", "cycleway", "pedestrian", "steps", "bridleway", "corridor"});
    const bool fMotorway = In(hw, {"motorway", "motorway_link"}) || In(tags.get_value_by_key("motorroad"), {"yes"});
    WORD w = 0;
    for (int v = 0; v < cVehicles; ++v) {
        const char* value = nullptr;
        for (const char* const* k = KeysOf(v); *k && !value; ++k) value = tags.get_value_by_key(*k);
        bool fClosed;
        if (value) fClosed = IsClosedValue(value);
        else if (v == vPedestrian) fClosed = fMotorway || In(hw, {"cycleway"});
        else if (v == vBicycle) fClosed = fMotorway || In(hw, {"footway", "pedestrian", "steps", "corridor"});
        else fClosed = fNonMotor;
        // A cycleway tagged foot=yes or a footway tagged bicycle=yes is open
        // to them; the keys above already say so.
        if (fClosed) w |= c_awClosed[v];
    }
    return w;
}

bool ReadRestriction(const osmium::Relation& rel, CMapcOsmRestriction& r, std::string& strReason) {
    r = CMapcOsmRestriction();
    const osmium::TagList& tags = rel.tags();
    const char* kind = tags.get_value_by_key("restriction");
    BYTE btVehicles = c_btRestrictVehicles;
    if (!kind) {
        // restriction:<vehicle>: the first such tag names kind and vehicles.
        btVehicles = 0;
        for (const osmium::Tag& t : tags) {
            if (std::strncmp(t.key(), "restriction:", 12)) continue;
            const BYTE b = VehiclesOfKey(t.key() + 12);
            if (!b) continue;
            if (kind && std::strcmp(kind, t.value())) continue; // another kind: the first holds
            kind = t.value();
            btVehicles |= b;
        }
        if (!kind) {
            strReason = "no restriction tag for a routed vehicle";
            return false;
        }
    }
    if (const char* except = tags.get_value_by_key("except")) {
        std::string list = except;
        std::size_t p = 0;
        while (p <= list.size()) {
            const std::size_t e = std::min(list.find(';', p), list.size());
            btVehicles = static_cast<BYTE>(btVehicles & ~VehiclesOfKey(list.substr(p, e - p)));
            p = e + 1;
        }
    }
    btVehicles &= static_cast<BYTE>(~1u); // restrictions bind vehicles, not walkers
    if (!btVehicles) {
        strReason = "binds no routed vehicle";
        return false;
    }
    r.btVehicles = btVehicles;
    if (!std::strncmp(kind, "only_", 5)) r.fOnly = true;
    else if (std::strncmp(kind, "no_", 3)) {
        strReason = "kind is neither no_* nor only_*";
        return false;
    }
    int cFrom = 0, cTo = 0, cViaNodes = 0;
    for (const osmium::RelationMember& m : rel.members()) {
        const bool fWay = m.type() == osmium::item_type::way;
        if (!std::strcmp(m.role(), "from") && fWay) r.from = m.ref(), ++cFrom;
        else if (!std::strcmp(m.role(), "to") && fWay) r.to = m.ref(), ++cTo;
        else if (!std::strcmp(m.role(), "via")) {
            if (fWay) r.viaWays.push_back(m.ref());
            else if (m.type() == osmium::item_type::node) r.via = m.ref(), ++cViaNodes;
        }
    }
    if (cFrom != 1 || cTo != 1) {
        strReason = "not one from and one to way";
        return false;
    }
    if ((cViaNodes == 1) == !r.viaWays.empty() || cViaNodes > 1) {
        strReason = "via is not one node or a row of ways";
        return false;
    }
    return true;
}

std::string RestrictionSummary::Text() const {
    std::size_t cDropped = 0;
    for (const auto& [k, n] : dropped) cDropped += n;
    std::string s = std::to_string(cRead) + " turn restrictions read, " + std::to_string(cWritten) +
                    " turns written, " + std::to_string(cDropped) + " dropped";
    if (cDropped) {
        s += " (";
        bool fFirst = true;
        for (const auto& [k, n] : dropped) {
            if (!fFirst) s += ", ";
            s += k + ": " + std::to_string(n);
            fFirst = false;
        }
        s += ")";
    }
    return s;
}

} // namespace velka::mapc
