#include "engine/provider/engine_cell.h"

namespace orvex::engine {

namespace {

Variant ToVariant(const Scalar& value) {
  if (auto number = NumberOf(value)) return Variant(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return Variant(*text);
  if (const auto* truth = std::get_if<bool>(&value)) return Variant(*truth);
  return Variant();
}

}  // namespace

EngineCell::EngineCell(std::shared_ptr<const CellSet> cell_set, int ordinal)
    : cell_set_(std::move(cell_set)), ordinal_(ordinal), cell_(cell_set_->cells[static_cast<size_t>(ordinal)]),
      properties_([this] {
        provider::Properties properties;
        properties.Add("VALUE", ToVariant(cell_.value));
        properties.Add("FORMATTED_VALUE", Variant(cell_.formatted_value));
        properties.Add("CELL_ORDINAL", Variant(static_cast<int32_t>(ordinal_)));
        // What CELL PROPERTIES asked for beyond these, in its order.
        if (!cell_set_->styles.empty()) {
          const CellStyle& style = cell_set_->styles[static_cast<size_t>(ordinal_)];
          for (const std::string& name : cell_set_->cell_properties) {
            if (name == "FORMAT_STRING") properties.Add(name, Variant(style.format_string));
            if (name == "FORE_COLOR") properties.Add(name, ToVariant(style.fore_color));
            if (name == "BACK_COLOR") properties.Add(name, ToVariant(style.back_color));
          }
        }
        return properties;
      }) {}

Variant EngineCell::Value() const { return ToVariant(cell_.value); }

}  // namespace orvex::engine
