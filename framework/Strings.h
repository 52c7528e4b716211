#pragma once
// A list of text lines. Controls with items (combo box, check-list box,
// radio group, tab control) expose their items through this interface.
#include <vector>

#include "framework/AnsiString.h"

class TStrings {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;
  virtual ~TStrings() = default;

  virtual int Count() const = 0;
  virtual AnsiString Strings(int index) const = 0;
  virtual void Insert(int index, const AnsiString& text) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  int Add(const AnsiString& text);
  // Index of the first line equal to text (exact bytes), -1 when none.
  int IndexOf(const AnsiString& text) const;
  // The lines, each followed by CR LF.
  AnsiString Text() const;
  // Replaces the lines by those of text, split at CR LF, CR or LF; a final
  // line break adds no empty line.
  void SetText(const AnsiString& text);
  void Assign(const TStrings& other);
};

class TStringList : public TStrings {
 public:
  int Count() const override { return static_cast<int>(lines_.size()); }
  AnsiString Strings(int index) const override { return lines_.at(static_cast<size_t>(index)); }
  void Insert(int index, const AnsiString& text) override;
  void Delete(int index) override;
  void Clear() override { lines_.clear(); }

 private:
  std::vector<AnsiString> lines_;
};
