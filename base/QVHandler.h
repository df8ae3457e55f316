#pragma once
// An event handler that costs one pointer in the object that raises the event. Drawings hold
// millions of objects and almost none has a handler bound, so the callable lives on the heap
// only when one is.
#include <functional>
#include <memory>
#include <utility>

template <typename Signature> class THandler;

template <typename R, typename... Args> class THandler<R(Args...)> {
public:
    THandler() = default;
    THandler(std::nullptr_t) {}
    template <typename F>
        requires std::is_invocable_r_v<R, F&, Args...> && (!std::is_same_v<std::decay_t<F>, THandler>)
    THandler(F&& f)
    {
        *this = std::forward<F>(f);
    }

    THandler& operator=(std::nullptr_t)
    {
        Fn.reset();
        return *this;
    }
    template <typename F>
        requires std::is_invocable_r_v<R, F&, Args...> && (!std::is_same_v<std::decay_t<F>, THandler>)
    THandler& operator=(F&& f)
    {
        std::function<R(Args...)> fn(std::forward<F>(f));
        if (fn)
            Fn = std::make_unique<std::function<R(Args...)>>(std::move(fn));
        else
            Fn.reset();
        return *this;
    }

    explicit operator bool() const { return Fn != nullptr; }
    R operator()(Args... args) const { return (*Fn)(std::forward<Args>(args)...); }

private:
    std::unique_ptr<std::function<R(Args...)>> Fn;
};
