// Whether the host application is in the background.
//
// Threading: main executor.
#pragma once

#include "core/rx/rx.hpp"

namespace vesk {

class AppStateService {
  public:
    // One empty event each time `isBackground` turns true (false); repeats dropped.
    [[nodiscard]] rx::Observable<rx::Unit> onBackground() const;
    [[nodiscard]] rx::Observable<rx::Unit> onForeground() const;

    rx::DisposeBag disposeBag;
    rx::BehaviorRelay<bool> isBackground{false};
};

}  // namespace vesk
