#include "ui/data_exchange.h"

#include <QLineEdit>
#include <QWidget>
#include <stdexcept>
#include <string>

#include "ui/control_access.h"
#include "ui/message_box_service.h"

namespace ui {

namespace {

constexpr const char* kNotAnIntegerText = "Please enter an integer.";

bool RefuseValue(QWidget* control, const char* text) {
    MessageBox(control->window(), text);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    return false;
}

}  // namespace

QWidget* DataExchange::Find(int id) const {
    QWidget* control = m_lookup(id);
    if (!control) throw std::invalid_argument("data exchange with control " + std::to_string(id));
    return control;
}

void DataExchange::Bind(int id, std::function<void(QWidget*)> load,
                        std::function<bool(QWidget*)> save) {
    Find(id);
    m_bindings.push_back({[this, id, load = std::move(load)] { load(Find(id)); },
                          [this, id, save = std::move(save)] { return save(Find(id)); }});
}

template <class T, class ToControl, class FromControl>
void DataExchange::BindPlain(int id, T& member, ToControl toControl, FromControl fromControl) {
    Bind(
        id, [&member, toControl](QWidget* control) { toControl(control, member); },
        [&member, fromControl](QWidget* control) {
            member = fromControl(control);
            return true;
        });
}

void DataExchange::Text(int id, QString& member) {
    BindPlain(id, member, SetControlText, ControlText);
}

void DataExchange::Text(int id, std::string& member) {
    BindPlain(
        id, member,
        [](QWidget* control, const std::string& text) {
            SetControlText(control, QString::fromStdString(text));
        },
        [](QWidget* control) { return ControlText(control).toStdString(); });
}

void DataExchange::Int(int id, int& member) {
    Bind(
        id, [&member](QWidget* control) { SetControlText(control, QString::number(member)); },
        [&member](QWidget* control) {
            bool ok = false;
            const int value = ControlText(control).trimmed().toInt(&ok);
            if (!ok) return RefuseValue(control, kNotAnIntegerText);
            member = value;
            return true;
        });
}

void DataExchange::Check(int id, bool& member) {
    BindPlain(id, member, SetControlChecked, IsControlChecked);
}

void DataExchange::Check(int id, int& member) {
    BindPlain(
        id, member, [](QWidget* control, int checked) { SetControlChecked(control, checked != 0); },
        [](QWidget* control) { return IsControlChecked(control) ? 1 : 0; });
}

void DataExchange::Radio(int firstId, int lastId, int& index) {
    for (int id = firstId; id <= lastId; ++id) Find(id);
    m_bindings.push_back({[this, firstId, lastId, &index] {
                              for (int id = firstId; id <= lastId; ++id)
                                  SetControlChecked(Find(id), id - firstId == index);
                          },
                          [this, firstId, lastId, &index] {
                              index = -1;
                              for (int id = firstId; id <= lastId; ++id)
                                  if (IsControlChecked(Find(id))) index = id - firstId;
                              return true;
                          }});
}

void DataExchange::Selection(int id, int& index) {
    BindPlain(id, index, SetControlSelection, ControlSelection);
}

void DataExchange::Position(int id, int& position) {
    BindPlain(id, position, SetControlPosition, ControlPosition);
}

bool DataExchange::Transfer(bool saveAndValidate) {
    for (const Binding& binding : m_bindings) {
        if (!saveAndValidate)
            binding.load();
        else if (!binding.save())
            return false;
    }
    return true;
}

}  // namespace ui
