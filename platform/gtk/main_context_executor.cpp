#include "vesk/gtk/main_context_executor.hpp"

#include <glib.h>

#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace vesk::gtk {

// One idle source drains the tasks queued when it fires; a task posted while
// it runs waits for the next turn, so GTK's own events interleave.
struct MainContextExecutor::Queue {
    std::mutex mutex;
    std::deque<Task> tasks;
    bool scheduled = false;
    GMainContext* context = nullptr;
    std::thread::id owner;

    static gboolean drain(gpointer data) {
        auto* self = static_cast<std::shared_ptr<Queue>*>(data);
        (*self)->runBatch();
        return G_SOURCE_REMOVE;
    }

    static void release(gpointer data) { delete static_cast<std::shared_ptr<Queue>*>(data); }

    void schedule(const std::shared_ptr<Queue>& self) {
        GSource* source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(source, &Queue::drain, new std::shared_ptr<Queue>(self),
                              &Queue::release);
        g_source_attach(source, context);
        g_source_unref(source);
    }

    void runBatch() {
        std::deque<Task> batch;
        {
            const std::lock_guard lock(mutex);
            batch.swap(tasks);
            scheduled = false;
        }
        for (auto& task : batch) {
            try {
                task();
            } catch (const std::exception& e) {
                g_warning("vesk: a main-executor task threw: %s", e.what());
            } catch (...) {
                g_warning("vesk: a main-executor task threw");
            }
        }
    }
};

MainContextExecutor::MainContextExecutor() : queue_(std::make_shared<Queue>()) {
    queue_->context = g_main_context_ref(g_main_context_default());
    queue_->owner = std::this_thread::get_id();
}

MainContextExecutor::~MainContextExecutor() {
    g_main_context_unref(queue_->context);
}

void MainContextExecutor::post(Task task) {
    bool wake = false;
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->tasks.push_back(std::move(task));
        wake = !std::exchange(queue_->scheduled, true);
    }
    if (wake) {
        queue_->schedule(queue_);
    }
}

bool MainContextExecutor::isCurrent() const {
    return std::this_thread::get_id() == queue_->owner;
}

}  // namespace vesk::gtk
