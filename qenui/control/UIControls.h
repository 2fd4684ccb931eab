// The library's controls: label and text (with markup), button, option,
// check box, progress, animation and image sequence, picture, edit, combo.
#pragma once

#include <memory>

#include "qenui/core/UIContainer.h"
#include "qenui/core/UIManager.h"
#include "qenui/core/UIText.h"
#include "qenui/window/UIHost.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetTextStyle(UINT uStyle) { m_uTextStyle = uStyle; Invalidate(); }
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextColor(DWORD dwTextColor) { m_dwTextColor = dwTextColor; Invalidate(); }
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetDisabledTextColor(DWORD c) { m_dwDisabledTextColor = c; }
  void SetFont(int index) { m_iFont = index; Invalidate(); }
  int GetFont() const { return m_iFont; }
  RECT GetTextPadding() const { return m_rcTextPadding; }
  void SetTextPadding(RECT rc) { m_rcTextPadding = rc; Invalidate(); }
  bool IsShowHtml() const { return m_bShowHtml; }
  void SetShowHtml(bool bShowHtml = true) { m_bShowHtml = bShowHtml; Invalidate(); }
  // Width in pixels of the text (markup applied when on), on one line.
  int GetTextWidth();
  SIZE EstimateSize(SIZE szAvailable) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;

 protected:
  TTextLayout Layout(const RECT& rc, UINT style);
  DWORD m_dwTextColor = 0;
  DWORD m_dwDisabledTextColor = 0;
  int m_iFont = -1;
  UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
  RECT m_rcTextPadding;
  bool m_bShowHtml = false;
  bool m_bAutoCalcWidth = false;
  std::vector<std::pair<RECT, CDuiString>> m_links;  // link rectangles of the last layout
};

// Multi-line text with links: "link" notifications carry the link index in wParam.
class CTextUI : public CLabelUI {
 public:
  CTextUI();
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;
  CDuiString* GetLinkContent(int iIndex);
  void DoEvent(TEventUI& event) override;
  void PaintText(HDC hDC) override;

 private:
  std::vector<CDuiString> m_linkTargets;
};

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  void SetEnabled(bool bEnable = true) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;
  UINT GetButtonState() const { return m_uButtonState; }
  void SetNormalImage(LPCTSTR s) { m_sNormalImage = s; Invalidate(); }
  void SetHotImage(LPCTSTR s) { m_sHotImage = s; Invalidate(); }
  void SetPushedImage(LPCTSTR s) { m_sPushedImage = s; Invalidate(); }
  void SetDisabledImage(LPCTSTR s) { m_sDisabledImage = s; Invalidate(); }
  void SetHotTextColor(DWORD c) { m_dwHotTextColor = c; }

 protected:
  UINT m_uButtonState = 0;
  DWORD m_dwHotTextColor = 0;
  DWORD m_dwPushedTextColor = 0;
  DWORD m_dwHotBkColor = 0;
  CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage, m_sForeImage;
};

// A button with a selected state; options sharing a group are exclusive.
class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  bool Activate() override;
  LPCTSTR GetGroup() const { return m_sGroupName; }
  void SetGroup(LPCTSTR pStrGroupName = nullptr);
  bool IsSelected() const { return m_bSelected; }
  virtual void Selected(bool bSelected, bool bTriggerEvent = true);
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;
  void SetSelectedImage(LPCTSTR s) { m_sSelectedImage = s; Invalidate(); }

 protected:
  bool m_bSelected = false;
  CDuiString m_sGroupName;
  CDuiString m_sSelectedImage;
  DWORD m_dwSelectedBkColor = 0;
  DWORD m_dwSelectedTextColor = 0;
};

class CCheckBoxUI : public COptionUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetCheck(bool bCheck, bool bTriggerEvent = true) { Selected(bCheck, bTriggerEvent); }
  bool GetCheck() const { return IsSelected(); }
};

class CProgressUI : public CLabelUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  int GetMinValue() const { return m_nMin; }
  void SetMinValue(int n) { m_nMin = n; Invalidate(); }
  int GetMaxValue() const { return m_nMax; }
  void SetMaxValue(int n) { m_nMax = n; Invalidate(); }
  int GetValue() const { return m_nValue; }
  void SetValue(int nValue);
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;

 protected:
  int m_nMin = 0, m_nMax = 100, m_nValue = 0;
  bool m_bHorizontal = true;
  CDuiString m_sForeImage;
  DWORD m_dwForeColor = 0xFF1F6FD1;
};

// Cycles through frames: the "frames" images (';'-separated) or a strip
// image cut into "framecount" pieces; one frame per elapse.
class CAnimationUI : public CLabelUI {
 public:
  ~CAnimationUI() override;
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void StartAnimation(UINT uElapse = 100);
  void StopAnimation();
  bool IsPlaying() const { return m_bPlaying; }
  int GetCurrentFrame() const { return m_nFrame; }
  int GetFrameCount() const;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;

 protected:
  std::vector<CDuiString> m_frames;
  int m_nStripFrames = 0;
  CDuiString m_sStrip;
  int m_nFrame = 0;
  bool m_bPlaying = false;
  bool m_bAutoPlay = false;
  UINT m_uElapse = 100;
};

// The image-sequence control of the layouts ("Sequence"): Sequence(100)
// starts it, the next call stops it.
class CSequenceUI : public CAnimationUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void Sequence(UINT uElapse);
};

// Shows one picture: its background image file loaded into an image object,
// or an in-memory picture given by the program.
class CPngImageUI : public CLabelUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  // Loads the background image (skin name or absolute path); false when unreadable.
  bool LoadImageFile();
  void SetImage(std::shared_ptr<TImageInfo> image);
  bool SetImageBytes(const std::string& bytes);
  std::shared_ptr<TImageInfo> GetImage() const { return m_pImage; }
  void PaintBkImage(HDC hDC) override;

 protected:
  std::shared_ptr<TImageInfo> m_pImage;
  CDuiString m_sLoaded;
};

class CEditUI : public CLabelUI, private ITextInputClient {
 public:
  CEditUI();
  ~CEditUI() override;
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;
  void SetText(LPCTSTR pstrText) override;
  void SetReadOnly(bool bReadOnly) { m_bReadOnly = bReadOnly; Invalidate(); }
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetMaxChar(UINT uMax) { m_uMaxChar = uMax; }
  UINT GetMaxChar() const { return m_uMaxChar; }
  void SetPasswordMode(bool b) { m_bPasswordMode = b; Invalidate(); }
  void SetNumberOnly(bool b) { m_bNumberOnly = b; }
  int GetCaret() const { return m_nCaret; }
  void SetSel(int start, int end);
  void SetSelAll() { SetSel(0, -1); }
  // Replaces the text from the input method or the GTK entry; sends "textchanged".
  void ReplaceTextFromInput(LPCTSTR pstrText);
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;

 protected:
  void OnTextInput(const CDuiString& text) override { ReplaceTextFromInput(text); }
  void OnTextInputKey(UINT vk) override;
  bool m_bNativeInput = false;
  bool m_bFromInput = false;  // SetText called with the entry's own text
  bool m_bReadOnly = false;
  bool m_bPasswordMode = false;
  bool m_bNumberOnly = false;
  UINT m_uMaxChar = 255;
  int m_nCaret = 0;
  DWORD m_dwEditBkColor = 0xFFFFFFFF;
  DWORD m_dwTipColor = 0xFF888888;
  CDuiString m_sTipValue;
  CDuiString m_sNormalImage, m_sHotImage, m_sFocusedImage, m_sDisabledImage;
  UINT m_uButtonState = 0;
};

}  // namespace DuiLib
