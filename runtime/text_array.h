// One-dimensional array of texts with checked 1-based element access.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

class TextArray {
 public:
  TextArray() = default;
  explicit TextArray(std::vector<std::string> elements) : elements_(std::move(elements)) {}

  int Count() const { return static_cast<int>(elements_.size()); }
  bool Empty() const { return elements_.empty(); }

  // Element i, 1-based; below 1 is fatal error 4, above the count fatal error 1.
  const std::string& operator[](int i) const;
  std::string& operator[](int i);

  void Append(std::string element) { elements_.push_back(std::move(element)); }

  auto begin() const { return elements_.begin(); }
  auto end() const { return elements_.end(); }
  const std::vector<std::string>& Elements() const { return elements_; }

 private:
  void Check(int i) const;
  std::vector<std::string> elements_;
};

// Splits at `delimiter` (default ","): empty pieces between delimiters kept, no
// empty last piece, at most maxParts pieces (the rest dropped); 0 or less gives none.
TextArray SplitText(std::string_view text, std::optional<std::string_view> delimiter = std::nullopt,
                    std::optional<int> maxParts = std::nullopt);

}  // namespace vantoip
