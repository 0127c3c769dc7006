// Pavo::Inspect::inspect: any registered entity (or value) as readable,
// indented text, for tests, golden files and the scenario tool.
//
//   Demo::Router
//     routerId = 5
//     owner -> null
//     flag: 2 members
//       [1] = true
//       [7] = false
//     child: 1 member
//       [3] -> Demo::Child
//         id = 3
//
// Every attribute is written in registration order, operations excepted:
// values in their text form (a value type holding a collection as a nested
// block), counted pointers and entity members as the pointed-to entity,
// written recursively. Members of ordered collections come in the collection's
// order; members of hash collections sorted by key, so the text does not
// depend on the process hash seed. An entity met again on the current path is
// written as "(cycle)"; an unregistered entity as its declared type name
// followed by "(not registered)". Indentation is two spaces per level.
#pragma once

#include <string>

#include "Pavo/Node.h"
#include "VekPavo/GenericValue.h"

namespace Pavo::Inspect {

std::string inspect(Node const& entity);
std::string inspect(Vek::GenericValue const& object);

}  // namespace Pavo::Inspect
