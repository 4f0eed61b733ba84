// The whole reactive layer: include this one header.
//
// Threading: single-threaded; everything runs on the main executor.
#pragma once

#include "core/rx/combine.hpp"
#include "core/rx/disposable.hpp"
#include "core/rx/event.hpp"
#include "core/rx/flat_map.hpp"
#include "core/rx/observable.hpp"
#include "core/rx/operators.hpp"
#include "core/rx/share.hpp"
#include "core/rx/subjects.hpp"
#include "core/rx/time.hpp"
