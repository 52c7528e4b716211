#pragma once
// CTMassValues<Key,Value>: an ordered map with unique keys that owns copies of
// its values and carries its own traversal position (Rewind, then Next).
#include <map>

template <class Key, class Value>
class CTMassValues {
 public:
  CTMassValues() : pos_(map_.begin()) {}
  CTMassValues(const CTMassValues&) = delete;
  CTMassValues& operator=(const CTMassValues&) = delete;
  virtual ~CTMassValues() { map_.clear(); }

  // An existing entry keeps its place and address; the value is assigned.
  virtual void Set(const Key& key, const Value& value) {
    auto it = map_.find(key);
    if (it == map_.end()) it = map_.emplace(key, Value()).first;
    it->second = value;
  }
  // A traversal after Clear starts with Rewind; until then Next reports the end
  // rather than walking a position into the removed entries.
  virtual void Clear() {
    map_.clear();
    pos_ = map_.end();
  }

  bool Exists(const Key& key) const { return map_.find(key) != map_.end(); }
  Value& Get(const Key& key) {
    auto it = map_.find(key);
    if (it == map_.end()) ThrowNotExist();
    return it->second;
  }
  size_t Count() const { return map_.size(); }

  void Rewind() { pos_ = map_.begin(); }
  bool Next(Key& key, Value*& value) {
    if (pos_ == map_.end()) return false;
    key = pos_->first;
    value = &pos_->second;
    ++pos_;
    return true;
  }

 protected:
  [[noreturn]] virtual void ThrowNotExist() = 0;

 private:
  std::map<Key, Value> map_;
  typename std::map<Key, Value>::iterator pos_;
};
