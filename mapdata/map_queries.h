// Result objects a map parser hands to searches: the cities and objects
// queries of a map's indexes and the found-objects lists. Only their
// lifetime is fixed here; the indexes and searches add their operations.
#pragma once

namespace velka {

class CCitiesQuery {
public:
    virtual ~CCitiesQuery() = default;
};

class CFindList {
public:
    virtual ~CFindList() = default;
};

class CObjectsQuery : public CFindList {};

} // namespace velka
