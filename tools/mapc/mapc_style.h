// The compiler's style table: rules that turn OpenStreetMap tags into map
// object kinds, type codes, the coarsest level they appear on and, for
// roads, their speed and road class (see data/runtime/osm.style).
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka::mapc {

struct CStyleCondition {
    std::string strKey;
    std::vector<std::string> values; // empty: any value
    bool fNegate = false;             // "!value": present and not that value
};

struct CStyleRule {
    int nKind = 0; // rkPoint, rkPolyline, rkPolygon
    std::vector<CStyleCondition> conditions;
    WORD wType = 0;
    int nBits = 24;
    bool fRoad = false;
    int nSpeedClass = 0;
    int nRoadClass = 0;
    int nLine = 0;
};

// Looks a tag up by key; null when absent.
using TagLookup = const char* (*)(const void* pTags, const char* szKey);

class CStyle {
public:
    // Parses the text; false with "line N: message" in strError.
    bool Parse(const std::string& strText, std::string& strError);
    bool Load(const std::string& strPath, std::string& strError);

    // The first rule of the kind whose conditions hold, or null.
    const CStyleRule* Match(int nKind, const void* pTags, TagLookup pfnLookup) const;
    const std::vector<CStyleRule>& Rules() const { return m_rules; }

private:
    std::vector<CStyleRule> m_rules;
};

} // namespace velka::mapc
