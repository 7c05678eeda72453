#include "i18n/catalog.hpp"

#include <array>
#include <string_view>

#include "i18n/language.hpp"

namespace velmo::i18n {
namespace {

// One row a key; the texts in the order of `kSupportedLanguages`. Rows are sorted by key.
struct Row {
  std::string_view key;
  std::array<std::string_view, kLanguageCount> texts;
};

constexpr Row kRows[] = {
    {"cannot-descend",
     {"cannot descend into %{node_type}",
      "无法下钻到 %{node_type}",
      "%{node_type} に降りることができません",
      "%{node_type}으로 이동할 수 없습니다"}},
    {"cannot-descend-into-scalar",
     {"cannot descend into scalar node",
      "无法下钻到标量节点",
      "スカラーノードに降りることができません",
      "스칼라 노드로 이동할 수 없습니다"}},
    {"cannot-rename-complex-key",
     {"cannot rename a complex (non-scalar) key",
      "无法重命名复杂（非标量）键",
      "複雑な（非スカラー）キーは名前変更できません",
      "복잡한(비스칼라) 키는 이름을 바꿀 수 없습니다"}},
    {"cannot-rename-root",
     {"cannot rename the root node",
      "无法重命名根节点",
      "ルートノードの名前は変更できません",
      "루트 노드의 이름을 바꿀 수 없습니다"}},
    {"create-needs-mapping",
     {"cannot create key: parent is not a mapping",
      "无法创建键：父节点不是映射",
      "キーを作成できません：親がマッピングではありません",
      "키를 생성할 수 없습니다: 상위가 매핑이 아닙니다"}},
    {"duplicate-key",
     {"duplicate key: %{key}",
      "重复的键：%{key}",
      "重複したキー：%{key}",
      "중복된 키: %{key}"}},
    {"edit-error",
     {"edit failed: %{detail}",
      "编辑失败：%{detail}",
      "編集に失敗しました：%{detail}",
      "편집 실패: %{detail}"}},
    {"expected-readable",
     {"Expected an object with a read() method",
      "期望具有 read() 方法的对象",
      "read() メソッドを持つオブジェクトが必要です",
      "read() 메서드가 있는 객체가 필요합니다"}},
    {"expected-str-or-bytes",
     {"Expected str or bytes",
      "期望 str 或 bytes 类型",
      "str または bytes が期待されます",
      "str 또는 bytes가 필요합니다"}},
    {"expected-writable",
     {"Expected an object with a write() method",
      "期望具有 write() 方法的对象",
      "write() メソッドを持つオブジェクトが必要です",
      "write() 메서드가 있는 객체가 필요합니다"}},
    {"file-not-found",
     {"File not found: %{path}",
      "未找到文件：%{path}",
      "ファイルが見つかりません：%{path}",
      "파일을 찾을 수 없습니다: %{path}"}},
    {"file-read-error",
     {"Failed to read file: %{detail}",
      "读取文件失败：%{detail}",
      "ファイルの読み込みに失敗しました：%{detail}",
      "파일 읽기 실패: %{detail}"}},
    {"file-write-error",
     {"Failed to write file: %{detail}",
      "写入文件失败：%{detail}",
      "ファイルの書き込みに失敗しました：%{detail}",
      "파일 쓰기 실패: %{detail}"}},
    {"index-not-integer",
     {"Index must be an integer",
      "索引必须是整数",
      "インデックスは整数である必要があります",
      "인덱스는 정수여야 합니다"}},
    {"index-out-of-range",
     {"Index %{index} out of range (len=%{len})",
      "索引 %{index} 超出范围（长度=%{len}）",
      "インデックス %{index} は範囲外です（長さ=%{len}）",
      "인덱스 %{index}(이)가 범위를 벗어났습니다 (길이=%{len})"}},
    {"index-out-of-range-edit",
     {"index %{index} out of range (len=%{len})",
      "索引 %{index} 超出范围（长度=%{len}）",
      "インデックス %{index} は範囲外です（長さ=%{len}）",
      "인덱스 %{index}(이)가 범위를 벗어났습니다 (길이=%{len})"}},
    {"invalid-utf8",
     {"Invalid UTF-8: %{detail}",
      "无效的 UTF-8 编码：%{detail}",
      "無効な UTF-8：%{detail}",
      "잘못된 UTF-8: %{detail}"}},
    {"json-parse-error",
     {"%{detail}",
      "%{detail}",
      "%{detail}",
      "%{detail}"}},
    {"key-not-found",
     {"Key '%{key}' not found",
      "键 '%{key}' 未找到",
      "キー '%{key}' が見つかりません",
      "키 '%{key}'을(를) 찾을 수 없습니다"}},
    {"key-not-string",
     {"Key must be a string",
      "键必须是字符串",
      "キーは文字列である必要があります",
      "키는 문자열이어야 합니다"}},
    {"max-depth-exceeded",
     {"Maximum YAML depth exceeded (max=%{max_depth})",
      "超出最大 YAML 深度 (max=%{max_depth})",
      "YAMLの最大深度を超えました (max=%{max_depth})",
      "최대 YAML 깊이 초과 (max=%{max_depth})"}},
    {"missing-path",
     {"path does not exist: %{path}",
      "路径不存在：%{path}",
      "パスが存在しません：%{path}",
      "경로가 존재하지 않습니다: %{path}"}},
    {"not-a-sequence",
     {"node is not a sequence",
      "节点不是序列",
      "ノードはシーケンスではありません",
      "노드가 시퀀스가 아닙니다"}},
    {"not-subscriptable",
     {"YamlDocument is not subscriptable",
      "YamlDocument 不支持下标操作",
      "YamlDocument はサブスクリプトできません",
      "YamlDocument는 인덱스 연산을 지원하지 않습니다"}},
    {"path-error",
     {"invalid path: %{detail}",
      "路径无效：%{detail}",
      "無効なパス：%{detail}",
      "잘못된 경로: %{detail}"}},
    {"unsupported-language",
     {"Unsupported language: '%{lang}'. Supported: %{supported}",
      "不支持的语言：'%{lang}'。支持的语言：%{supported}",
      "サポートされていない言語です：'%{lang}'。対応言語：%{supported}",
      "지원하지 않는 언어입니다: '%{lang}'. 지원되는 언어: %{supported}"}},
    {"unsupported-type",
     {"Unsupported Python type for YAML conversion",
      "不支持的 Python 类型转换为 YAML",
      "YAML 変換に対応していない Python 型です",
      "YAML 변환을 지원하지 않는 Python 타입입니다"}},
    {"yaml-parse-error",
     {"%{detail}",
      "%{detail}",
      "%{detail}",
      "%{detail}"}},
    {"yaml-serialize-error",
     {"%{detail}",
      "%{detail}",
      "%{detail}",
      "%{detail}"}},
};

constexpr bool rows_sorted() {
  for (std::size_t i = 1; i < std::size(kRows); ++i) {
    if (!(kRows[i - 1].key < kRows[i].key)) return false;
  }
  return true;
}
static_assert(rows_sorted(), "catalog rows must stay sorted by key");
static_assert(std::size(kRows) == 29);

}  // namespace

std::optional<std::string_view> catalog_text(std::string_view lang, std::string_view key) noexcept {
  auto li = language_index(lang);
  if (!li) return std::nullopt;
  // The catalog is constant data, so there is nothing to build or lock: a binary search over 29 rows.
  std::size_t lo = 0, hi = std::size(kRows);
  while (lo < hi) {
    std::size_t mid = (lo + hi) / 2;
    if (kRows[mid].key < key) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < std::size(kRows) && kRows[lo].key == key) return kRows[lo].texts[*li];
  return std::nullopt;
}

}  // namespace velmo::i18n
