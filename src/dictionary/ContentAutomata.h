// The content models of a dictionary's elements compiled into deterministic automata over the
// elements, numbered once: for each element a table state x element -> state, the accepting
// states, whether the model admits character data, and its inclusions and exclusions as sets
// of element numbers.
//
// A model is a group of names, #PCDATA and groups joined by one connector ("," sequence, "|"
// choice, "&" all in any order), each with an optional "?", "*" or "+"; or one of EMPTY, ANY,
// CDATA and RCDATA. An "&" group of k members becomes the choice of its k! orders. The
// automaton is the subset construction over the model's positions (one per name written;
// #PCDATA takes none). A model that does not read, or that exceeds a limit (groups nested more
// than kMaxDepth, more than kMaxPositions names, an "&" group of more than kMaxInterleaved
// members, more than kMaxStates states), is left unchecked.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/Text.h"

namespace vmk {

class VmkDictionary;

class ContentAutomata {
 public:
  static constexpr int32_t kNoState = -1;
  static constexpr int32_t kNotAnElement = -1;
  static constexpr int kMaxDepth = 32;
  static constexpr int kMaxPositions = 512;
  static constexpr int kMaxStates = 1024;
  static constexpr int kMaxInterleaved = 5;

  enum class Kind : uint8_t {
    kUnchecked,      // no model, or one that is not checked
    kEmpty,          // EMPTY: no content
    kAny,            // ANY: everything
    kCharacterData,  // CDATA, RCDATA: no elements
    kModel,          // a model group
  };

  using ElementSet = std::vector<uint64_t>;  // one bit per element number

  struct Automaton {
    Kind kind = Kind::kUnchecked;
    bool mixed = false;           // #PCDATA occurs in the model
    bool omissibleStart = false;  // the start tag may be omitted ("O -", "O O")
    int32_t stateCount = 0;       // state 0 is the start
    std::vector<int32_t> next;    // stateCount x elementCount, kNoState where none
    std::vector<uint8_t> accepting;
    ElementSet inclusions;  // empty when there are none
    ElementSet exclusions;
  };

  // The automata of every element of the dictionary, and of the document (a model whose only
  // member is the document element, HTML or html).
  explicit ContentAutomata(const VmkDictionary& dictionary);
  // Automata of the given models over the given element names (in numbering order), without
  // tag omission or exceptions; for tests and tools.
  ContentAutomata(const std::vector<UString>& elements, const std::vector<UString>& models);

  // Compiles one model text over a numbering of elements (number: kNotAnElement for a name
  // that is no element).
  static Automaton compile(UStringView model, const std::function<int32_t(UStringView)>& number,
                           int32_t elementCount);

  int32_t elementCount() const { return int32_t(names_.size()); }
  // The number of an element name in the dictionary's case; kNotAnElement when it is none.
  int32_t elementNumber(UStringView name) const;
  const UString& elementName(int32_t element) const { return names_[size_t(element)]; }
  const Automaton& automaton(int32_t element) const { return automata_[size_t(element)]; }
  const Automaton& document() const { return document_; }
  // Whether any element has a model (a dictionary made before models were written has none).
  bool hasModels() const { return hasModels_; }

  // The state after an element in state; kNoState when the model does not take it there.
  // Unchecked and ANY models take everything and stay in state 0.
  int32_t step(const Automaton& automaton, int32_t state, int32_t element) const {
    switch (automaton.kind) {
      case Kind::kModel:
        return automaton.next[size_t(state) * names_.size() + size_t(element)];
      case Kind::kUnchecked:
      case Kind::kAny:
        return 0;
      default:
        return kNoState;
    }
  }
  bool accepts(const Automaton& automaton, int32_t state) const {
    return automaton.kind != Kind::kModel || automaton.accepting[size_t(state)] != 0;
  }
  // The elements the model takes in state, in numbering order.
  std::vector<int32_t> expected(const Automaton& automaton, int32_t state) const;

  static bool contains(const ElementSet& set, int32_t element) {
    const size_t word = size_t(element) / 64;
    return word < set.size() && (set[word] >> (size_t(element) % 64) & 1) != 0;
  }

 private:
  std::vector<UString> names_;
  std::unordered_map<UString, int32_t> numbers_;
  std::vector<Automaton> automata_;
  Automaton document_;
  bool hasModels_ = false;
};

}  // namespace vmk
