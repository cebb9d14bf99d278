#ifndef VESPODAR_BASE_FUNCTION_REF_H_
#define VESPODAR_BASE_FUNCTION_REF_H_

#include <type_traits>
#include <utility>

namespace vespodar {

template <typename Signature>
class FunctionRef;

// A callable passed down a call, without owning it: a pointer to the caller's
// callable and one function that calls it. std::function would copy the
// callable and bring a manager function for each one into the setup. Take
// it as a parameter only; the callable must outlive the call.
template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
 public:
  template <typename Callable,
            typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, FunctionRef>>>
  FunctionRef(Callable&& callable)  // NOLINT: converts like std::function
      : object_(const_cast<void*>(static_cast<const void*>(&callable))),
        call_([](void* object, Args... args) -> Result {
          return (*static_cast<std::remove_reference_t<Callable>*>(object))(
              std::forward<Args>(args)...);
        }) {}

  Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  Result (*call_)(void*, Args...);
};

}  // namespace vespodar

#endif  // VESPODAR_BASE_FUNCTION_REF_H_
