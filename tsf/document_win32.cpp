#include "tsf/document_win32.h"

#include <inputscope.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "tsf/context_guard.h"

namespace vexo::tsf {
namespace {

// Owns one reference to a COM interface.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p_ != nullptr) p_->Release();
  }
  T** out() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

const WCHAR* wide(std::u16string_view text) { return reinterpret_cast<const WCHAR*>(text.data()); }

// The range of the default selection when it is a bare caret; S_FALSE (and
// no range) for no selection or a selection that spans text.
HRESULT caret_range(ITfContext* context, TfEditCookie cookie, Ref<ITfRange>& caret) {
  TF_SELECTION selection{};
  ULONG fetched = 0;
  HRESULT hr = context->GetSelection(cookie, TF_DEFAULT_SELECTION, 1, &selection, &fetched);
  if (FAILED(hr)) return hr;
  if (fetched < 1 || selection.range == nullptr) return S_FALSE;
  *caret.out() = selection.range;
  BOOL empty = FALSE;
  hr = caret->IsEmpty(cookie, &empty);
  if (FAILED(hr)) return hr;
  return empty ? S_OK : S_FALSE;
}

// Puts the caret at the end of `range`, moved on by `extra` units.
HRESULT caret_after(ITfContext* context, TfEditCookie cookie, ITfRange* range, LONG extra) {
  Ref<ITfRange> end;
  HRESULT hr = range->Clone(end.out());
  if (FAILED(hr)) return hr;
  if (extra > 0) {
    LONG moved = 0;
    hr = end->ShiftEnd(cookie, extra, &moved, nullptr);
    if (FAILED(hr)) return hr;
  }
  hr = end->Collapse(cookie, TF_ANCHOR_END);
  if (FAILED(hr)) return hr;
  TF_SELECTION selection{};
  selection.range = end.get();
  selection.style.ase = TF_AE_END;
  selection.style.fInterimChar = FALSE;
  return context->SetSelection(cookie, 1, &selection);
}

EditResult failure(HRESULT hr) { return {EditResult::Status::Failed, static_cast<HResult>(hr)}; }

}  // namespace

CaretRead ContextDocument::read_before_caret(std::size_t max_units) {
  const auto failed_read = [](HRESULT hr) {
    return CaretRead{CaretRead::Status::Failed, {}, static_cast<HResult>(hr)};
  };
  Ref<ITfRange> caret;
  HRESULT hr = caret_range(context_, cookie_, caret);
  if (FAILED(hr)) return failed_read(hr);
  if (hr != S_OK) return {};

  Ref<ITfRange> before;
  hr = caret->Clone(before.out());
  if (FAILED(hr)) return failed_read(hr);
  const LONG wanted = static_cast<LONG>(max_units);
  LONG shifted = 0;
  hr = before->ShiftStart(cookie_, -wanted, &shifted, nullptr);
  if (FAILED(hr)) return failed_read(hr);

  std::vector<WCHAR> buffer(static_cast<std::size_t>(-shifted) + 1);
  ULONG got = 0;
  hr = before->GetText(cookie_, 0, buffer.data(), static_cast<ULONG>(-shifted), &got);
  if (FAILED(hr)) return failed_read(hr);
  got = std::min<ULONG>(got, static_cast<ULONG>(-shifted));

  CaretRead read;
  read.status = CaretRead::Status::Text;
  read.caret.text.assign(reinterpret_cast<const char16_t*>(buffer.data()), got);
  read.caret.at_start = shifted > -wanted;
  return read;
}

EditResult ContextDocument::replace_before_caret(std::size_t span_units, std::size_t kept_units,
                                                 std::u16string_view text) {
  Ref<ITfRange> caret;
  HRESULT hr = caret_range(context_, cookie_, caret);
  if (FAILED(hr)) return failure(hr);
  if (hr != S_OK) return failure(E_UNEXPECTED);

  Ref<ITfRange> range;
  hr = caret->Clone(range.out());
  if (FAILED(hr)) return failure(hr);
  const LONG back = static_cast<LONG>(span_units + kept_units);
  LONG shifted = 0;
  hr = range->ShiftStart(cookie_, -back, &shifted, nullptr);
  if (FAILED(hr)) return failure(hr);
  if (shifted != -back) return {EditResult::Status::ShiftMismatch, kOk};
  const LONG kept = static_cast<LONG>(kept_units);
  if (kept > 0) {
    hr = range->ShiftEnd(cookie_, -kept, &shifted, nullptr);
    if (FAILED(hr)) return failure(hr);
  }
  hr = range->SetText(cookie_, 0, wide(text), static_cast<LONG>(text.size()));
  if (FAILED(hr)) return failure(hr);
  hr = caret_after(context_, cookie_, range.get(), kept);
  if (FAILED(hr)) return failure(hr);
  return {};
}

bool ContextDocument::is_transitory() {
  TS_STATUS status{};
  if (FAILED(context_->GetStatus(&status))) return false;
  return (status.dwStaticFlags & TS_SS_TRANSITORY) != 0;
}

HResult ContextDocument::insert_at_selection(std::u16string_view text) {
  Ref<ITfInsertAtSelection> insert;
  HRESULT hr =
      context_->QueryInterface(IID_ITfInsertAtSelection, reinterpret_cast<void**>(insert.out()));
  if (FAILED(hr)) return hr;
  const LONG length = static_cast<LONG>(text.size());
  Ref<ITfRange> range;
  if (!is_transitory()) {
    hr = insert->InsertTextAtSelection(cookie_, 0, wide(text), length, range.out());
    if (FAILED(hr)) return hr;
    return caret_after(context_, cookie_, range.get(), 0);
  }
  // A transitory context takes text only through a composition.
  hr = insert->InsertTextAtSelection(cookie_, TF_IAS_QUERYONLY, L"", 0, range.out());
  if (FAILED(hr)) return hr;
  Ref<ITfContextComposition> compositions;
  hr = context_->QueryInterface(IID_ITfContextComposition,
                                reinterpret_cast<void**>(compositions.out()));
  if (FAILED(hr)) return hr;
  Ref<ITfComposition> composition;
  hr = compositions->StartComposition(cookie_, range.get(), nullptr, composition.out());
  if (FAILED(hr)) return hr;
  if (!composition) return E_FAIL;
  hr = range->SetText(cookie_, 0, wide(text), length);
  if (SUCCEEDED(hr)) hr = caret_after(context_, cookie_, range.get(), 0);
  const HRESULT ended = composition->EndComposition(cookie_);
  return FAILED(hr) ? hr : ended;
}

std::optional<bool> ContextDocument::hides_text() {
  // GUID_PROP_INPUTSCOPE and IID_ITfInputScope, which the headers only
  // declare.
  static constexpr GUID kInputScopeProperty = {
      0x1713dd5a, 0x68e7, 0x4a5b, {0x9a, 0xf6, 0x59, 0x2a, 0x59, 0x5c, 0x77, 0x8d}};
  static constexpr GUID kIidInputScope = {
      0xfde1eaee, 0x6924, 0x4cdf, {0x91, 0xe7, 0xda, 0x38, 0xcf, 0xf5, 0x55, 0x9d}};
  Ref<ITfProperty> property;
  if (FAILED(context_->GetProperty(kInputScopeProperty, property.out())) || !property)
    return std::nullopt;
  TF_SELECTION selection{};
  ULONG fetched = 0;
  if (FAILED(context_->GetSelection(cookie_, TF_DEFAULT_SELECTION, 1, &selection, &fetched)) ||
      fetched < 1 || selection.range == nullptr)
    return std::nullopt;
  Ref<ITfRange> range;
  *range.out() = selection.range;
  VARIANT value;
  VariantInit(&value);
  if (FAILED(property->GetValue(cookie_, range.get(), &value))) return std::nullopt;
  std::optional<bool> hides = false;  // a range without a scope is an ordinary field
  if (value.vt == VT_UNKNOWN && value.punkVal != nullptr) {
    Ref<ITfInputScope> scope;
    if (SUCCEEDED(value.punkVal->QueryInterface(kIidInputScope,
                                                reinterpret_cast<void**>(scope.out())))) {
      InputScope* scopes = nullptr;
      UINT count = 0;
      if (SUCCEEDED(scope->GetInputScopes(&scopes, &count)) && scopes != nullptr) {
        std::vector<std::int32_t> values(scopes, scopes + count);
        hides = scopes_hide_text(values);
        CoTaskMemFree(scopes);
      }
    }
  }
  VariantClear(&value);
  return hides;
}

SessionRequester::Answer ContextRequester::request(std::uint32_t flags) {
  HRESULT session = S_OK;
  const HRESULT call = context_->RequestEditSession(client_, session_, flags, &session);
  return {static_cast<HResult>(call), static_cast<HResult>(session)};
}

}  // namespace vexo::tsf
