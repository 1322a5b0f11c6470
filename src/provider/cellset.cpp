#include "provider/cellset.h"

namespace orvex::provider {

namespace {
constexpr const char* kSource = "Provider";
}  // namespace

void Cellset::Open(std::string_view mdx) {
  if (data_) throw ComError(kErrObjectOpen, kSource, "Operation is not allowed when the object is open.");
  if (!connection_) throw ObjectClosedError();
  data_ = connection_->GetSession().Execute(connection_->DefaultDatabase(), mdx);
}

void Cellset::Close() {
  if (!data_) throw ObjectClosedError();
  data_.reset();
}

const std::shared_ptr<CellsetData>& Cellset::Data() const {
  if (!data_) throw ObjectClosedError();
  return data_;
}

std::shared_ptr<Axes> Cellset::GetAxes() const { return Data()->GetAxes(); }
std::shared_ptr<Axis> Cellset::GetFilterAxis() const { return Data()->GetFilterAxis(); }

std::shared_ptr<Cell> Cellset::Item(const std::vector<int>& positions) const {
  auto axes = Data()->GetAxes();
  if (static_cast<int>(positions.size()) != axes->Count()) throw ItemNotFound(kSource);
  // Axis 0 varies fastest in the ordinal.
  int64_t ordinal = 0;
  int64_t stride = 1;
  for (int axis = 0; axis < axes->Count(); ++axis) {
    int count = axes->Item(axis)->GetPositions()->Count();
    int position = positions[static_cast<size_t>(axis)];
    if (position < 0 || position >= count) throw ItemNotFound(kSource);
    ordinal += position * stride;
    stride *= count;
  }
  return Data()->GetCell(static_cast<int>(ordinal));
}

std::shared_ptr<Cell> Cellset::Item(int ordinal) const { return Data()->GetCell(ordinal); }

}  // namespace orvex::provider
