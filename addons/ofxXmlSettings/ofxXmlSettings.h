#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

// Hierarchical settings held as an XML document. Keys are tag paths such as
// "STOMPATHON:COLORS:ONE:HUE": each ":"-separated component names a nested
// element, and a value is the text inside the innermost one. `which` picks
// among same-named siblings and applies to the first component only; deeper
// components always take the first element of their name. Paths are resolved
// against the current position (the document, or an element after pushTag).
// Not thread-safe.
class ofxXmlSettings : public TiXmlDocument {
public:
    ofxXmlSettings();
    ofxXmlSettings(const ofxXmlSettings&) = delete;             // owns its position handle
    ofxXmlSettings& operator=(const ofxXmlSettings&) = delete;
    ~ofxXmlSettings();

    void setVerbose(bool verbose);                              // no effect

    // Files (names go through ofToDataPath)
    bool loadFile(const std::string& xmlFile);  // false on a missing, unreadable, unparsable or oversized
                                                // file, which leaves an empty document; position back at
                                                // the document
    bool saveFile(const std::string& xmlFile);  // replaces the file in one step: on failure one console
                                                // line, false, and the old file is untouched. Writes
                                                // only a new file or a regular file its owner may
                                                // write, directly or through a symbolic link

    // Reading (a missing path, or an element without text, gives the default)
    int getValue(const std::string& tag, int defaultValue, int which = 0);
    double getValue(const std::string& tag, double defaultValue, int which = 0);
    std::string getValue(const std::string& tag, const std::string& defaultValue, int which = 0);
                                                // texts longer than maxValueLength are cut

    // Writing (creates missing elements; each returns the number of elements named
    // like the first component, minus 1, or -1 when the path is refused)
    int setValue(const std::string& tag, int value, int which = 0);          // stored as "%i"
    int setValue(const std::string& tag, double value, int which = 0);       // stored as "%f"
    int setValue(const std::string& tag, const std::string& value, int which = 0);
    int addValue(const std::string& tag, int value);            // always appends a new first component
    int addValue(const std::string& tag, double value);
    int addValue(const std::string& tag, const std::string& value);
    int addTag(const std::string& tag);                         // appends the path with an empty value

    // Structure
    bool tagExists(const std::string& tag, int which = 0);
    int getNumTags(const std::string& tag);     // same-named children; only the part before ":" counts
    void clearTagContents(const std::string& tag, int which = 0);   // leaves an empty text
    void removeTag(const std::string& tag, int which = 0);      // deletes the last component's element
    void clear();                               // removes everything below the current position

    // Position
    bool pushTag(const std::string& tag, int which = 0);        // false and one console line if missing
    int popTag();                               // returns the new push level; stays at 0 at the top
    int getPushLevel();

    // Paths
    static std::vector<std::string> tokenize(const std::string& text, const std::string& delimiters);
                                                // pieces between delimiters, empty ones skipped;
                                                // an empty text gives one empty piece

    static constexpr int maxValueLength = 1023;             // characters a getter returns at most
    static constexpr long maxFileBytes = 4L * 1024 * 1024;  // larger files are refused by loadFile
    static constexpr int maxMarks = 1000;                   // files with more '<' and '=' are refused by loadFile

protected:
    // The two primitives behind the getters and setters
    bool readTag(const std::string& tag, char (&valueBuffer)[maxValueLength + 1], int which = 0);
    int writeTag(const std::string& tag, const char* valueString, int which = 0);  // which -1 appends

    TiXmlHandle* currentHandle;     // owned; the element (or the document) paths start from
    int pushLevel;                  // pushTag steps below the document
};

