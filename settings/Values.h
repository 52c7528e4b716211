#pragma once
// CtValues<Key,Value*>: an ordered map of pointers to values owned elsewhere,
// with its own traversal position. Clearing never touches the pointed-to values.
#include <map>

template <class Key, class Value>
class CtValues;

template <class Key, class Value>
class CtValues<Key, Value*> {
 public:
  CtValues() : pos_(map_.begin()) {}
  CtValues(const CtValues& other) : pos_(map_.begin()) { *this = other; }
  CtValues& operator=(const CtValues& other) {
    if (this == &other) return *this;
    Clear();
    for (const auto& kv : other.map_) map_.emplace(kv.first, kv.second);
    pos_ = map_.begin();
    return *this;
  }

  virtual Value* NullValue() { return nullptr; }
  virtual ~CtValues() { Clear(); }
  virtual void Clear() {
    map_.clear();
    pos_ = map_.end();
  }

  void Set(const Key& key, Value* value) { map_[key] = value; }
  bool Exists(const Key& key) const { return map_.find(key) != map_.end(); }
  size_t Count() const { return map_.size(); }

  void Rewind() { pos_ = map_.begin(); }
  bool Next(Key& key, Value*& value) {
    if (pos_ == map_.end()) return false;
    key = pos_->first;
    value = pos_->second;
    ++pos_;
    return true;
  }

 private:
  std::map<Key, Value*> map_;
  typename std::map<Key, Value*>::iterator pos_;
};
