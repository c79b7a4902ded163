// TgsExpHandler: one compiled xBase expression (index keys, FOR conditions,
// filters). The text is compiled once into a tree of nodes whose names resolve
// to the built-in library, to the user link's functions and variables and, last,
// to the link's UnknownFunction; the tree is then evaluated as often as needed.
//
// Compilation: the tokenizer turns the text into a coded string (quoted parts,
// operators preceded by their precedence, separators); the parser makes one node
// per token and binds operators by precedence, strongest first, each level from
// the left. Every failure raises EDevazozExpression; a failed compilation leaves
// no tree.
#ifndef ENGINE_TABLE_GS6_SQL_H_
#define ENGINE_TABLE_GS6_SQL_H_

#include <memory>
#include <string>

#include "engine/table/gs6_sqlbase.h"
#include "engine/table/gs6_sqlnode.h"

namespace devazoz {

class TgsVariant;

class TgsExpHandler : public TgsObject {
 public:
  // sql_style selects '%' and '_' as wildcard characters instead of '*' and '?'.
  // An empty text leaves no tree (result type kExpNothing).
  TgsExpHandler(TgsExpUserLink* link, bool sql_style, const std::string& text);
  ~TgsExpHandler() override;

  virtual std::string ExpressionText() const;  // 0
  // 1: the value, or null without a tree (result type kExpNothing).
  virtual TgsExpValue* Evaluate(TgsExpValue& value);
  // 2: text, number, date (day number truncated toward zero) or logical; any other
  // result leaves the variant cleared, result type kExpNothing and returns false.
  virtual bool EvaluateVariant(TgsVariant& variant);

  // Replaces the tree; on a compilation error the handler is left without one.
  void SetExpression(const std::string& text);
  int ResultType() const { return result_type_; }

  // Read by operators when they are compiled: set before SetExpression.
  bool CaseInsensitive() const { return settings_.case_insensitive; }
  void SetCaseInsensitive(bool on) { settings_.case_insensitive = on; }
  bool Wildcard() const { return settings_.wildcard; }
  void SetWildcard(bool on) { settings_.wildcard = on; }
  bool OemText() const { return settings_.oem_text; }
  void SetOemText(bool on) { settings_.oem_text = on; }
  const TgsExpCompareSettings& Settings() const { return settings_; }

  TgsExpUserLink* UserLink() const { return link_; }
  TgsExpBaseObject* Root() const { return root_.get(); }
  bool HasExpression() const { return root_ != nullptr; }
  // Names of the nodes whose KindTag is tag, each followed by ";".
  std::string CollectNames(int tag) const;

 private:
  TgsExpUserLink* link_;
  TgsExpNodePtr root_;
  int result_type_ = kExpNothing;
  TgsExpCompareSettings settings_;
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_SQL_H_
