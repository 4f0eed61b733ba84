// The library's main executor on the GLib main context, so the library and
// GTK share one thread: give it to vesk::setMainExecutor before any other
// call into the library.
//
// Threading: construct on the thread that runs GTK's main loop (the default
// main context); `post` from any thread. Tasks run in the order posted, each
// on a later turn of the loop, never inside `post`.
#pragma once

#include <memory>

#include "vesk/executor.hpp"

namespace vesk::gtk {

class MainContextExecutor final : public Executor {
  public:
    MainContextExecutor();
    ~MainContextExecutor() override;
    MainContextExecutor(const MainContextExecutor&) = delete;
    MainContextExecutor& operator=(const MainContextExecutor&) = delete;

    void post(Task task) override;
    [[nodiscard]] bool isCurrent() const override;

    struct Queue;

  private:
    std::shared_ptr<Queue> queue_;
};

}  // namespace vesk::gtk
