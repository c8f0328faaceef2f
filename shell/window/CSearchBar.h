// The search bar: in web mode an address box, in keyword mode a keyword box
// and the search service box; the switch button, "Go" and "Advanced Search".
// It remembers past addresses and keywords in its drop-down lists.
// User-interface thread only.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;

namespace pq {

class CSearchBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 380;
    static constexpr int kEngineWidth = 180;
    static constexpr const char* kEngineEntry = "Google Image Search";

    explicit CSearchBar(QWidget* parent = nullptr);

    // searchmode: "searchkey" shows the keyword boxes, anything else the
    // address box.
    void SetMode(const std::string& searchMode);
    bool KeywordMode() const { return keywordMode_; }
    // "search" while the window shows its search layout, else "nosearch".
    void SetLayoutState(const std::string& state) { layoutState_ = state; }
    const std::string& LayoutState() const { return layoutState_; }

    void SetAddressHistory(const std::vector<std::string>& list);
    void SetKeywordHistory(const std::vector<std::string>& list);

    std::string AddressText() const;
    std::string KeywordText() const;
    std::string EngineText() const;
    void SetAddressText(const std::string& text);
    void SetKeywordText(const std::string& text);
    void FocusAddress();
    bool Typed() const { return typed_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void SwitchClicked();
    void GoClicked();
    void AdvancedClicked();
    // Enter in a box, after the rule of the bar has chosen.
    void WebSearchRequested();
    void KeywordSearchRequested();
    void HistoryRequested(const QString& address);

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnEnter(bool keywordBox);
    void Arrange();

    QPushButton* switch_;
    QComboBox* address_;
    QComboBox* keywords_;
    QComboBox* engine_;
    QPushButton* go_;
    QPushButton* advanced_;
    bool keywordMode_ = false;
    bool typed_ = false;
    std::string layoutState_ = "nosearch";
};

}  // namespace pq
