// A one-pass tag tokenizer: finds tags in a page body, splits the attributes
// of the tags a subclass asks for, and reports each tag to HandleTag. It is a
// byte scanner with fixed rules, not an HTML parser; the crawl depends on
// exactly these rules, so they are kept as they are even where HTML differs.
#pragma once

#include <string>
#include <vector>

namespace pq {

struct TagAttribute {
    std::string name;   // lower case
    std::string value;  // case kept
    int position = 0;   // offset in the body just after the '='
};

class CTagParser {
public:
    virtual ~CTagParser() = default;

    // Scans the first length bytes of body. body must stay valid meanwhile.
    void Scan(const char* body, int length);

    const std::string& TagName() const { return tagName_; }
    const std::vector<TagAttribute>& Attributes() const { return attributes_; }

protected:
    // Called for every tag found; answer false to stop the scan.
    virtual bool HandleTag(const std::string& tagName, int closePos,
                           const std::vector<TagAttribute>& attributes);
    // Whether the attributes of this tag are to be split.
    virtual bool WantsAttributes(const std::string& tagName);

    const char* body_ = nullptr;
    int length_ = 0;

private:
    // Finds the next tag from offset; false when there is none.
    bool FindTag(int& offset);
    void SplitAttributes(int begin, int end);

    std::string tagName_;
    std::vector<TagAttribute> attributes_;
};

}  // namespace pq
