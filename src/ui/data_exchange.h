#pragma once
// Data exchange: members bound to controls once, then transferred all at once
// in either direction. A handler reads the controls into the members, works on
// the members, and writes them back.
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace ui {

class DataExchange {
public:
    using Lookup = std::function<QWidget*(int id)>;
    // Controls are looked up at every transfer, so a control replaced after
    // binding is the one that takes part. Binding an id without a control is a
    // mistake in the window and throws std::invalid_argument.
    explicit DataExchange(Lookup lookup) : m_lookup(std::move(lookup)) {}

    void Text(int id, QString& member);
    void Text(int id, std::string& member);
    // An edit holding a decimal integer.
    void Int(int id, int& member);
    void Check(int id, bool& member);
    void Check(int id, int& member);  // 1 checked, 0 not
    // The index of the checked radio among firstId..lastId; -1 for none.
    void Radio(int firstId, int lastId, int& index);
    // The selected item of a list or combo box, or the tab; -1 for none.
    void Selection(int id, int& index);
    // A trackbar's or progress bar's position.
    void Position(int id, int& position);

    // saveAndValidate: controls to members, in binding order; stops at the
    // first control whose text its member cannot take, shows why, gives that
    // control the focus and returns false. Otherwise members to controls.
    bool Transfer(bool saveAndValidate);

private:
    struct Binding {
        std::function<void()> load;
        std::function<bool()> save;
    };
    QWidget* Find(int id) const;
    void Bind(int id, std::function<void(QWidget*)> load, std::function<bool(QWidget*)> save);
    // A binding whose control always holds a value the member can take.
    template <class T, class ToControl, class FromControl>
    void BindPlain(int id, T& member, ToControl toControl, FromControl fromControl);

    Lookup m_lookup;
    std::vector<Binding> m_bindings;
};

}  // namespace ui
