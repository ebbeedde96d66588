#pragma once

#include <string>

namespace rel {

// Identity of a pluggable algorithm: a family name and a libtool-style version triple.
class Interface {
public:
    Interface();
    Interface(const char* name, int current, int revision, int age);
    Interface(const std::string& name, int current, int revision, int age);
    Interface(const Interface& src) = default;
    Interface& operator=(const Interface& src) = default;

    // True when both names match and 0 <= current - other.current <= age.
    bool implements(const Interface& other) const;

    const std::string& name() const { return _name; }
    int current() const { return _current; }
    int revision() const { return _revision; }
    int age() const { return _age; }

    std::string& name() { return _name; }
    int& current() { return _current; }
    int& revision() { return _revision; }
    int& age() { return _age; }

    // name(current:revision:age), as shown in logs and listings.
    std::string toString() const;

    bool operator==(const Interface& other) const = default;

private:
    std::string _name;
    int _current = 0;
    int _revision = 0;
    int _age = 0;
};

}  // namespace rel
