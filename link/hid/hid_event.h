#pragma once

#include <functional>
#include <memory>
#include <utility>

// An event handler that can be compared with another: copies of one handler are equal, two
// handlers made separately are not, and an empty handler means "none". The controller hands its
// default handlers on to every device whose handler is still the previous default, which needs
// exactly this kind of identity.
template <typename Signature> class HidEvent;

template <typename R, typename... Args> class HidEvent<R(Args...)> {
public:
    HidEvent() = default;
    HidEvent(std::nullptr_t) {}
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, HidEvent> &&
                                          !std::is_same_v<std::decay_t<F>, std::nullptr_t>>>
    HidEvent(F&& f) : fn_(std::make_shared<const std::function<R(Args...)>>(std::forward<F>(f))) {}

    explicit operator bool() const { return fn_ && *fn_; }
    R operator()(Args... args) const { return (*fn_)(std::forward<Args>(args)...); }

    friend bool operator==(const HidEvent& a, const HidEvent& b) { return a.fn_ == b.fn_; }

private:
    std::shared_ptr<const std::function<R(Args...)>> fn_;
};
