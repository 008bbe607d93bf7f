#pragma once
// The program's error boundary. Qt cannot carry an exception through its own frames, so every
// call that Qt makes into the program (a slot, an event handler, a posted call) goes through
// Guarded: what it throws is shown in an error box captioned with the application's name, and
// goes no further. Connect and Post put connections and posted calls behind the boundary.

#include <QMetaObject>
#include <QObject>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace desktop {

// Shows the error box for an exception that reached the boundary.
void ReportUnexpectedError(std::exception_ptr error) noexcept;

template <typename F>
void Guarded(F&& call) noexcept {
    try {
        std::forward<F>(call)();
    } catch (...) {
        ReportUnexpectedError(std::current_exception());
    }
}

// The same, for an event handler that answers whether it handled the event; false after a
// failure.
template <typename F>
bool GuardedHandler(F&& call) noexcept {
    bool handled = false;
    Guarded([&] { handled = std::forward<F>(call)(); });
    return handled;
}

// A slot behind the boundary: calls handler (a member function of receiver, or any callable)
// with as many of the signal's arguments as it takes, as Qt finds out by trying.
template <typename Receiver, typename Handler>
struct GuardedSlot {
    Receiver* receiver;
    Handler handler;

    template <typename... Args>
    static constexpr bool kTakes = std::is_member_function_pointer_v<Handler>
                                       ? std::is_invocable_v<Handler, Receiver*, Args...>
                                       : std::is_invocable_v<Handler, Args...>;

    template <typename... Args>
    requires kTakes<Args...>
    void operator()(Args&&... args) const {
        Guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>)
                std::invoke(handler, receiver, std::forward<Args>(args)...);
            else
                std::invoke(handler, std::forward<Args>(args)...);
        });
    }
};

// QObject::connect behind the boundary.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection Connect(const Sender* sender, Signal signal, Receiver* receiver,
                                Handler handler, Qt::ConnectionType type = Qt::AutoConnection) {
    return QObject::connect(sender, signal, receiver,
                            GuardedSlot<Receiver, Handler>{receiver, handler}, type);
}

// Runs call once control is back in the event loop, behind the boundary; nothing when context
// is gone by then.
inline void Post(QObject* context, std::function<void()> call) {
    QMetaObject::invokeMethod(
        context, [call = std::move(call)] { Guarded(call); }, Qt::QueuedConnection);
}

}  // namespace desktop
