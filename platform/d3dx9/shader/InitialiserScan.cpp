// The initial values of globals declared with one: a small evaluator of
// HLSL's constant expressions over the initialisers' tokens in the model.
#include "shader/InitialiserScan.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace ostrevin {
namespace {

// The scalar kind of a numeric type: what its values convert to.
enum class Kind { NotNumeric, Real, Integer, Boolean };

// float, half3, int4x4, bool2...: the kind; NotNumeric for other names.
Kind NumericKind(const std::string& name) {
  static const std::pair<const char*, Kind> kBases[] = {
      {"float", Kind::Real},        {"half", Kind::Real},         {"double", Kind::Real},
      {"min16float", Kind::Real},   {"min10float", Kind::Real},   {"int", Kind::Integer},
      {"uint", Kind::Integer},      {"dword", Kind::Integer},     {"min16int", Kind::Integer},
      {"min12int", Kind::Integer},  {"min16uint", Kind::Integer}, {"bool", Kind::Boolean}};
  for (const auto& [base, kind] : kBases) {
    const std::string b = base;
    if (name.compare(0, b.size(), b) != 0) continue;
    const std::string dims = name.substr(b.size());
    auto dim = [](char ch) { return ch >= '1' && ch <= '4'; };
    if (dims.empty() || (dims.size() == 1 && dim(dims[0])) ||
        (dims.size() == 3 && dim(dims[0]) && dims[1] == 'x' && dim(dims[2]))) {
      return kind;
    }
  }
  return Kind::NotNumeric;
}

// Components of a scalar or vector type name (float -> 1, int3 -> 3); 0
// for matrices and other names.
size_t VectorSize(const std::string& name) {
  if (NumericKind(name) == Kind::NotNumeric || name.find('x') != std::string::npos) return 0;
  const char last = name.back();
  return last >= '1' && last <= '4' ? static_cast<size_t>(last - '0') : 1;
}

// A constant expression's value: its components, and whether HLSL types
// it as an integer (then 7 / 2 is 3).
struct Value {
  std::vector<double> v;
  bool integer = false;
};

void Convert(Kind kind, Value* value) {
  for (double& x : value->v) {
    if (kind == Kind::Integer) x = std::isfinite(x) ? std::trunc(x) : 0.0;
    if (kind == Kind::Boolean) x = x != 0.0 ? 1.0 : 0.0;
  }
  value->integer = kind != Kind::Real;
}

// std::from_chars of a double in its general format. Emscripten's libc++
// has none for floating point: there the characters from_chars would take
// (digits, a point, an exponent with digits) are read by strtod.
std::from_chars_result ReadDouble(const char* begin, const char* end, double& x) {
#ifdef __EMSCRIPTEN__
  const char* p = begin;
  auto digits = [&](const char* q) {
    while (q < end && *q >= '0' && *q <= '9') ++q;
    return q;
  };
  if (p < end && *p == '-') ++p;
  const char* mantissa = p;
  p = digits(p);
  bool any = p != mantissa;
  if (p < end && *p == '.') {
    const char* fraction = p + 1;
    p = digits(fraction);
    any = any || p != fraction;
  }
  if (!any) return {begin, std::errc::invalid_argument};
  if (p < end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    const char* e = digits(q);
    if (e != q) p = e;
  }
  const std::string text(begin, p);
  x = std::strtod(text.c_str(), nullptr);
  return {p, std::errc()};
#else
  return std::from_chars(begin, end, x, std::chars_format::general);
#endif
}

// A literal: 1, 0x1F, 010, 1.5f, .5, 1e-3, 2u, 1.0h.
bool Number(const std::string& t, Value* out) {
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  double x = 0;
  const char* rest = nullptr;
  bool integer = true;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint64_t n = 0;
    const auto r = std::from_chars(begin + 2, end, n, 16);
    if (r.ec != std::errc() || r.ptr == begin + 2) return false;
    x = static_cast<double>(n);
    rest = r.ptr;
  } else {
    const auto r = ReadDouble(begin, end, x);
    if (r.ec != std::errc() || r.ptr == begin) return false;
    rest = r.ptr;
    for (const char* p = begin; p < rest; ++p) {
      if (*p == '.' || *p == 'e' || *p == 'E') integer = false;
    }
    if (integer && t.size() > 1 && t[0] == '0') {  // octal, as in C
      uint64_t n = 0;
      const auto o = std::from_chars(begin, rest, n, 8);
      if (o.ec != std::errc() || o.ptr != rest) return false;
      x = static_cast<double>(n);
    }
  }
  for (; rest < end; ++rest) {
    const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(*rest)));
    if (ch == 'f' || ch == 'h') {
      integer = false;
    } else if (ch != 'u' && ch != 'l') {
      return false;
    }
  }
  out->v.assign(1, x);
  out->integer = integer;
  return true;
}

// Evaluates the initialiser in tokens [.., end): braced lists, literals,
// constructors, casts, unary - and +, binary + - * / % and the names of
// globals evaluated before. Anything else fails, as does an initialiser
// with tokens left over.
class Evaluator {
 public:
  Evaluator(const std::vector<HlslToken>& tokens, size_t end, const std::map<std::string, Value>& known)
      : m_tokens(tokens), m_end(end), m_known(known) {}

  bool Whole(size_t begin, Value* out) {
    size_t t = begin;
    return Initialiser(&t, out) && t == m_end;
  }

 private:
  static constexpr int kMaxDepth = 64;
  static constexpr size_t kMaxComponents = 65536;

  const std::string& At(size_t t) const {
    static const std::string kNone;
    return t < m_end ? m_tokens[t].text : kNone;
  }

  bool Initialiser(size_t* t, Value* out) {
    if (At(*t) != "{") return Expression(t, out);
    if (++m_depth > kMaxDepth) return false;
    ++*t;
    out->v.clear();
    out->integer = true;
    while (At(*t) != "}") {
      Value item;
      if (!Initialiser(t, &item)) return false;
      out->v.insert(out->v.end(), item.v.begin(), item.v.end());
      out->integer = out->integer && item.integer;
      if (out->v.size() > kMaxComponents) return false;
      if (At(*t) == ",") {
        ++*t;
      } else if (At(*t) != "}") {
        return false;
      }
    }
    ++*t;
    --m_depth;
    return !out->v.empty();
  }

  bool Expression(size_t* t, Value* out) {
    if (!Term(t, out)) return false;
    while (At(*t) == "+" || At(*t) == "-") {
      const char op = At(*t)[0];
      ++*t;
      Value rhs;
      if (!Term(t, &rhs) || !Combine(op, rhs, out)) return false;
    }
    return true;
  }

  bool Term(size_t* t, Value* out) {
    if (!Unary(t, out)) return false;
    while (At(*t) == "*" || At(*t) == "/" || At(*t) == "%") {
      const char op = At(*t)[0];
      ++*t;
      Value rhs;
      if (!Unary(t, &rhs) || !Combine(op, rhs, out)) return false;
    }
    return true;
  }

  bool Unary(size_t* t, Value* out) {
    if (++m_depth > kMaxDepth) return false;
    bool ok;
    const std::string& s = At(*t);
    if (s == "-" || s == "+") {
      ++*t;
      ok = Unary(t, out);
      if (ok && s == "-") {
        for (double& x : out->v) x = -x;
      }
    } else if (s == "(" && NumericKind(At(*t + 1)) != Kind::NotNumeric && At(*t + 2) == ")") {
      // A cast: (int)2.5, (float4)0.
      const Kind kind = NumericKind(At(*t + 1));
      *t += 3;
      ok = Unary(t, out);
      if (ok) Convert(kind, out);
    } else {
      ok = Primary(t, out);
    }
    --m_depth;
    return ok;
  }

  bool Primary(size_t* t, Value* out) {
    const std::string& s = At(*t);
    if (s.empty()) return false;
    if (s == "(") {
      ++*t;
      if (!Expression(t, out) || At(*t) != ")") return false;
      ++*t;
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '.') {
      ++*t;
      return Number(s, out);
    }
    if (s == "true" || s == "false") {
      ++*t;
      out->v.assign(1, s == "true" ? 1.0 : 0.0);
      out->integer = true;
      return true;
    }
    const Kind kind = NumericKind(s);
    if (kind != Kind::NotNumeric && At(*t + 1) == "(") {
      // A constructor: its arguments' components in order.
      *t += 2;
      out->v.clear();
      while (At(*t) != ")") {
        Value arg;
        if (!Expression(t, &arg)) return false;
        out->v.insert(out->v.end(), arg.v.begin(), arg.v.end());
        if (out->v.size() > kMaxComponents) return false;
        if (At(*t) == ",") {
          ++*t;
        } else if (At(*t) != ")") {
          return false;
        }
      }
      ++*t;
      Convert(kind, out);
      return !out->v.empty();
    }
    if (At(*t + 1) == "(") {
      // An intrinsic of constant arguments.
      const std::string& function = s;
      *t += 2;
      std::vector<Value> args;
      while (At(*t) != ")") {
        args.emplace_back();
        if (args.size() > 3 || !Expression(t, &args.back())) return false;
        if (At(*t) == ",") {
          ++*t;
        } else if (At(*t) != ")") {
          return false;
        }
      }
      ++*t;
      return Intrinsic(function, args, out);
    }
    const auto it = m_known.find(s);
    if (it == m_known.end()) return false;
    ++*t;
    *out = it->second;
    return true;
  }

  // The math intrinsics D3DX folds in initialisers; false for the rest
  // and for arguments of the wrong sizes.
  static bool Intrinsic(const std::string& f, const std::vector<Value>& args, Value* out) {
    using Unary = double (*)(double);
    static const std::map<std::string, Unary> kUnary = {
        {"abs", [](double x) { return std::fabs(x); }},
        {"sqrt", [](double x) { return std::sqrt(x); }},
        {"rsqrt", [](double x) { return 1.0 / std::sqrt(x); }},
        {"sin", [](double x) { return std::sin(x); }},
        {"cos", [](double x) { return std::cos(x); }},
        {"tan", [](double x) { return std::tan(x); }},
        {"asin", [](double x) { return std::asin(x); }},
        {"acos", [](double x) { return std::acos(x); }},
        {"atan", [](double x) { return std::atan(x); }},
        {"exp", [](double x) { return std::exp(x); }},
        {"exp2", [](double x) { return std::exp2(x); }},
        {"log", [](double x) { return std::log(x); }},
        {"log2", [](double x) { return std::log2(x); }},
        {"log10", [](double x) { return std::log10(x); }},
        {"floor", [](double x) { return std::floor(x); }},
        {"ceil", [](double x) { return std::ceil(x); }},
        {"frac", [](double x) { return x - std::floor(x); }},
        {"round", [](double x) { return std::nearbyint(x); }},
        {"trunc", [](double x) { return std::trunc(x); }},
        {"saturate", [](double x) { return std::min(1.0, std::max(0.0, x)); }},
        {"radians", [](double x) { return x * (3.14159265358979323846 / 180.0); }},
        {"degrees", [](double x) { return x * (180.0 / 3.14159265358979323846); }},
        {"sign", [](double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; }},
    };
    using Ternary = double (*)(double, double, double);
    static const std::map<std::string, std::pair<size_t, Ternary>> kComponentwise = {
        {"pow", {2, [](double x, double y, double) { return std::pow(x, y); }}},
        {"min", {2, [](double x, double y, double) { return std::min(x, y); }}},
        {"max", {2, [](double x, double y, double) { return std::max(x, y); }}},
        {"atan2", {2, [](double y, double x, double) { return std::atan2(y, x); }}},
        {"fmod", {2, [](double x, double y, double) { return std::fmod(x, y); }}},
        {"step", {2, [](double edge, double x, double) { return x >= edge ? 1.0 : 0.0; }}},
        {"clamp", {3, [](double x, double lo, double hi) { return std::min(hi, std::max(lo, x)); }}},
        {"lerp", {3, [](double a, double b, double s) { return a + s * (b - a); }}},
    };
    if (args.empty()) return false;
    const auto unary = kUnary.find(f);
    if (unary != kUnary.end()) {
      if (args.size() != 1) return false;
      out->v = args[0].v;
      for (double& x : out->v) x = unary->second(x);
      out->integer = false;
      return true;
    }
    const auto multi = kComponentwise.find(f);
    if (multi != kComponentwise.end()) {
      if (args.size() != multi->second.first) return false;
      size_t n = 1;
      for (const Value& a : args) n = std::max(n, a.v.size());
      for (const Value& a : args) {
        if (a.v.size() != n && a.v.size() != 1) return false;
      }
      out->v.resize(n);
      for (size_t i = 0; i < n; ++i) {
        auto at = [&](size_t k) { return k < args.size() ? args[k].v[args[k].v.size() == 1 ? 0 : i] : 0.0; };
        out->v[i] = multi->second.second(at(0), at(1), at(2));
      }
      out->integer = false;
      return true;
    }
    const std::vector<double>& a = args[0].v;
    auto dot = [](const std::vector<double>& x, const std::vector<double>& y) {
      double sum = 0;
      for (size_t i = 0; i < x.size(); ++i) sum += x[i] * y[i];
      return sum;
    };
    out->integer = false;
    if (f == "length" && args.size() == 1) {
      out->v.assign(1, std::sqrt(dot(a, a)));
    } else if (f == "normalize" && args.size() == 1) {
      const double length = std::sqrt(dot(a, a));
      out->v = a;
      for (double& x : out->v) x /= length;
    } else if (f == "dot" && args.size() == 2 && args[1].v.size() == a.size()) {
      out->v.assign(1, dot(a, args[1].v));
    } else if (f == "cross" && args.size() == 2 && a.size() == 3 && args[1].v.size() == 3) {
      const std::vector<double>& b = args[1].v;
      out->v = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    } else {
      return false;
    }
    return true;
  }

  // lhs op rhs, component by component; a scalar meets every component.
  static bool Combine(char op, const Value& rhs, Value* lhs) {
    const size_t n = std::max(lhs->v.size(), rhs.v.size());
    if (lhs->v.size() != n && lhs->v.size() != 1) return false;
    if (rhs.v.size() != n && rhs.v.size() != 1) return false;
    const bool integer = lhs->integer && rhs.integer;
    std::vector<double> r(n);
    for (size_t i = 0; i < n; ++i) {
      const double a = lhs->v[lhs->v.size() == 1 ? 0 : i];
      const double b = rhs.v[rhs.v.size() == 1 ? 0 : i];
      switch (op) {
        case '+': r[i] = a + b; break;
        case '-': r[i] = a - b; break;
        case '*': r[i] = a * b; break;
        case '/':
          if (integer && b == 0) return false;
          r[i] = integer ? std::trunc(a / b) : a / b;
          break;
        default:
          if (integer && b == 0) return false;
          r[i] = std::fmod(a, b);
          break;
      }
    }
    lhs->v = std::move(r);
    lhs->integer = integer;
    return true;
  }

  const std::vector<HlslToken>& m_tokens;
  size_t m_end;
  const std::map<std::string, Value>& m_known;
  int m_depth = 0;
};

}  // namespace

std::map<std::string, std::vector<double>> ScanInitialisers(const SourceModel& model) {
  std::map<std::string, Value> known;  // static ones too: later initialisers may name them
  std::map<std::string, std::vector<double>> found;
  for (const HlslGlobal& g : model.globals) {
    if (g.initBegin == g.initEnd) continue;
    const std::string& type = model.tokens[g.type].text;
    Kind kind = NumericKind(type);
    size_t vectorSize = VectorSize(type);
    if (type == "vector" || type == "matrix") {
      kind = Kind::Real;
      vectorSize = 0;
      if (g.typeEnd > g.type + 2 && model.tokens[g.type + 1].text == "<")
        kind = NumericKind(model.tokens[g.type + 2].text);
    }
    if (kind == Kind::NotNumeric) continue;
    Value value;
    if (!Evaluator(model.tokens, g.initEnd, known).Whole(g.initBegin, &value)) continue;
    // A longer vector truncates into a scalar or vector (HLSL warns); a
    // braced list must fit.
    if (!g.array && model.tokens[g.initBegin].text != "{" && vectorSize != 0 && value.v.size() > vectorSize) {
      value.v.resize(vectorSize);
    }
    Convert(kind, &value);
    if (!g.isStatic) found[g.name] = value.v;
    known[g.name] = std::move(value);
  }
  return found;
}

}  // namespace ostrevin
