#include "Interface.h"

#include "Assert.h"

namespace rel {

Interface::Interface() = default;

Interface::Interface(const char* name, int current, int revision, int age)
    : _name(name), _current(current), _revision(revision), _age(age) {}

Interface::Interface(const std::string& name, int current, int revision, int age)
    : _name(name), _current(current), _revision(revision), _age(age) {}

bool Interface::implements(const Interface& other) const {
    rInfo("checking if %s(%i:%i:%i) implements %s(%i:%i:%i)", _name.c_str(), _current, _revision,
          _age, other._name.c_str(), other._current, other._revision, other._age);
    if (_name != other._name) return false;
    const int distance = _current - other._current;
    return distance >= 0 && distance <= _age;
}

std::string Interface::toString() const {
    return _name + "(" + std::to_string(_current) + ":" + std::to_string(_revision) + ":" +
           std::to_string(_age) + ")";
}

}  // namespace rel
