#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::olap {

class Axis;
class CubeView;

// The displayed axes of a view, axis 0 the columns, axis 1 the rows.
class Axes {
 public:
  Axes() = default;
  Axes(const Axes&) = delete;
  Axes& operator=(const Axes&) = delete;

  // The axis at a 0-based index; error 9 outside.
  std::shared_ptr<olap::Axis> Item(int32_t Index) const;
  std::vector<std::shared_ptr<olap::Axis>> NewEnum() const;
  int32_t Count() const;
  // A new axis, built from an `axis` element when one is given, in front of
  // the axis at `Before` (appended when `Before` is omitted or outside);
  // returns its index and clears the view's results.
  int32_t Add(std::optional<std::string> xmlAxis = {}, std::optional<int32_t> Before = {});
  // Removes one axis, or every axis when `Index` is omitted; clears the view's results.
  void Remove(std::optional<int32_t> Index = {});
  // Rebuilds the axes from an `axes` element and clears the view's results.
  void Populate(std::string_view AxesNode);

  // Error 5 without a view.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView);
  void f_Terminate();
  // Populate without clearing results: axes are re-populated in place, the
  // surplus removed from the end, the missing appended.
  void f_Populate(std::string_view AxesNode);

 private:
  std::shared_ptr<olap::CubeView> p_CubeView() const;
  int32_t p_Add(std::optional<std::string> xmlAxis, std::optional<int32_t> Before);
  void p_Remove(std::optional<int32_t> Index);
  void Renumber(size_t from);

  std::weak_ptr<olap::CubeView> view_;
  std::vector<std::shared_ptr<olap::Axis>> axes_;
};

}  // namespace orvex::olap
