// The visitor of a variant made of one lambda per alternative: std::visit(Overloaded{[](const A&) {...}, ...}, v).
#pragma once

namespace quorlane {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

}  // namespace quorlane
