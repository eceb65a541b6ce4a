#include "ofxXmlSettings.h"

#include "ofUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Reading files

// Reads a whole regular file of at most maxBytes bytes. On failure `why` says
// what went wrong; it stays empty for a file that simply is not there, which is
// the normal first start and not worth a console line.
static bool readSmallFile(const std::string& path, long maxBytes, std::string& bytes, std::string& why) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) why = std::strerror(errno);
        return false;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0;
    if (!ok) why = std::strerror(errno);
    else if (!S_ISREG(info.st_mode)) { ok = false; why = "not a regular file"; }
    else if (info.st_size > maxBytes) { ok = false; why = "larger than a settings file can be"; }
    else if (info.st_size == 0) { ok = false; why = "empty"; }
    if (ok) {
        bytes.assign(static_cast<size_t>(info.st_size), '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);     // a file shrunk under us is parsed as it was read
        if (got == 0) { ok = false; why = "empty"; }
    }
    close(fd);
    return ok;
}

// The XML parser descends one call level per nested element, so a deep enough
// file (corrupt or not) would exhaust the stack; and it checks every attribute
// against all the earlier ones of its element, so one element with many
// attributes takes time growing with their square (80,000 took 41 s). No
// element begins without a '<' and no attribute without a '=', so counting both
// bounds the nesting and the attribute work whatever the file holds. At the
// bound the slowest file (one element holding every attribute, with names that
// differ only at their end, filling maxFileBytes) loads in 0.2 s on our
// development machine, 0.4 s when it is busy (8000 took 1.6 s).
static int countMarks(const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) { return c == '<' || c == '='; }));
}

// Saving files

static void syncDirectory(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);      // best effort: the rename is done, this only hurries it to the disk
    close(fd);
}

// Where a save may write: the file itself, or the regular file a symbolic link
// leads to. The rename that replaces the file would turn anything else (a
// dangling link, a link to /dev/null that switches saving off, a directory)
// into a regular file, so those are refused, and so is a file its owner may not
// write. The mode bits decide, not a trial open, which root would always pass.
// `old` is the file's status when `exists`.
static bool findTarget(const std::string& path, std::string& target, struct stat& old, bool& exists,
                       std::string& why) {
    target = path;
    exists = lstat(path.c_str(), &old) == 0;
    if (!exists) {
        if (errno == ENOENT) return true;       // a new file
        why = std::strerror(errno);
        return false;
    }
    if (S_ISLNK(old.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        bool resolved = real && stat(real, &old) == 0;
        if (resolved) target = real;
        std::free(real);
        if (!resolved) {
            why = "a link to nothing";
            return false;
        }
    }
    if (!S_ISREG(old.st_mode)) {
        why = "not a regular file";
        return false;
    }
    if (!(old.st_mode & S_IWUSR)) {
        why = "read-only for its owner";
        return false;
    }
    return true;
}

// A save cut short by a crash leaves its temporary file beside the target; the
// next save clears those away, and only names of exactly that pattern.
static void removeStaleTemporaries(const std::string& dir, const std::string& targetName) {
    std::string prefix = targetName + ".tmp-";
    DIR* folder = opendir(dir.c_str());
    if (!folder) return;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            unlinkat(dirfd(folder), entry->d_name, 0);
    }
    closedir(folder);
}

// Gives the new file the old one's permission bits (and owner, where allowed),
// or what a plain create would have given. An owner who could not read the
// file could never load it again, so the owner always gets reading back.
static void copyPermissions(int fd, const struct stat* old) {
    if (old) {
        fchmod(fd, (old->st_mode & 07777) | S_IRUSR);
        bool otherOwner = old->st_uid != geteuid() || old->st_gid != getegid();
        if (otherOwner && fchown(fd, old->st_uid, old->st_gid) != 0) {
            // not allowed: the new file stays ours, no reason to fail the save
        }
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

// Prints the document with the parser's own printer and waits until it is on
// the disk; takes over the descriptor.
static bool printToFile(const TiXmlDocument& doc, int fd, std::string& why) {
    FILE* out = fdopen(fd, "w");
    if (!out) {
        why = std::strerror(errno);
        close(fd);
        return false;
    }
    errno = 0;
    bool ok = doc.SaveFile(out) && fflush(out) == 0 && fsync(fileno(out)) == 0;
    if (!ok) why = errno ? std::strerror(errno) : "write failed";
    if (fclose(out) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    return ok;
}

// Prints the document to a temporary file beside the target and renames it over
// the target, so the file on disk is always either the old or the new document.
static bool saveAtomically(const TiXmlDocument& doc, const std::string& path, std::string& why) {
    std::string target;
    struct stat old;
    bool exists = false;
    if (!findTarget(path, target, old, exists, why)) return false;
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, std::max<size_t>(slash, 1));
    removeStaleTemporaries(dir, slash == std::string::npos ? target : target.substr(slash + 1));

    std::string temp = target + ".tmp-XXXXXX";
    int fd = mkstemp(&temp[0]);
    if (fd < 0) { why = std::strerror(errno); return false; }
    copyPermissions(fd, exists ? &old : nullptr);

    bool ok = printToFile(doc, fd, why);
    if (ok && rename(temp.c_str(), target.c_str()) != 0) { ok = false; why = std::strerror(errno); }
    if (!ok) { unlink(temp.c_str()); return false; }
    syncDirectory(dir);
    return true;
}

// Paths

// A name the parser reads back as one element name (its rules, bytes from 128
// up counting as letters), so a saved file always loads again.
static bool isElementName(const std::string& name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 128 || c == '_';
        bool inner = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!letter && !(i > 0 && inner)) return false;
    }
    return true;
}

// The part of a tag before the first ":", when ":" is not its first character.
static std::string firstComponent(const std::string& tag) {
    size_t colon = tag.find(':');
    return colon != std::string::npos && colon > 0 ? tag.substr(0, colon) : tag;
}

// Follows the components from `start`: `which` for the first, 0 for the rest.
static TiXmlHandle walkPath(TiXmlHandle start, const std::vector<std::string>& components, int which) {
    TiXmlHandle at = start;
    for (size_t i = 0; i < components.size(); ++i)
        at = at.ChildElement(components[i].c_str(), i == 0 ? which : 0);
    return at;
}

static int countChildElements(TiXmlNode* parent, const std::string& name) {
    int count = 0;
    if (!parent) return 0;
    for (TiXmlElement* e = parent->FirstChildElement(name.c_str()); e; e = e->NextSiblingElement(name.c_str()))
        ++count;
    return count;
}

static std::string formatInt(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return text;
}

static std::string formatDouble(double value) {
    int length = std::snprintf(nullptr, 0, "%f", value);     // 1e300 prints 300 digits
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), "%f", value);
    text.resize(static_cast<size_t>(length));
    return text;
}

ofxXmlSettings::ofxXmlSettings() : currentHandle(new TiXmlHandle(this)), pushLevel(0) {
}

ofxXmlSettings::~ofxXmlSettings() {
    delete currentHandle;
}

void ofxXmlSettings::setVerbose(bool) {
}

// A failed load leaves an empty document: the parser keeps whatever it read
// before the error, and half a file must not pass for settings.
bool ofxXmlSettings::loadFile(const std::string& xmlFile) {
    std::string path = ofToDataPath(xmlFile);
    std::string bytes;
    std::string why;
    bool ok = readSmallFile(path, maxFileBytes, bytes, why);
    if (ok && countMarks(bytes) > maxMarks) { ok = false; why = "too many elements and attributes"; }
    if (ok) {
        FILE* in = fmemopen(&bytes[0], bytes.size(), "r");
        ok = in && LoadFile(in, TIXML_ENCODING_UNKNOWN);
        if (!in) why = std::strerror(errno);
        else if (!ok) why = ErrorDesc();
        if (in) fclose(in);
    }
    if (!ok) Clear();
    if (!why.empty()) std::printf("ofxXmlSettings: cannot load %s: %s\n", path.c_str(), why.c_str());

    // Back at the document, so the level goes back with it: a level kept from
    // before would let popTag climb above the document.
    *currentHandle = TiXmlHandle(this);
    pushLevel = 0;
    return ok;
}

bool ofxXmlSettings::saveFile(const std::string& xmlFile) {
    std::string path = ofToDataPath(xmlFile);
    std::string why;
    if (saveAtomically(*this, path, why)) return true;
    std::printf("ofxXmlSettings: cannot save %s: %s\n", path.c_str(), why.c_str());
    return false;
}

int ofxXmlSettings::getValue(const std::string& tag, int defaultValue, int which) {
    char value[maxValueLength + 1] = {};
    return readTag(tag, value, which) ? std::atoi(value) : defaultValue;
}

double ofxXmlSettings::getValue(const std::string& tag, double defaultValue, int which) {
    char value[maxValueLength + 1] = {};
    return readTag(tag, value, which) ? std::atof(value) : defaultValue;
}

std::string ofxXmlSettings::getValue(const std::string& tag, const std::string& defaultValue, int which) {
    char value[maxValueLength + 1] = {};
    return readTag(tag, value, which) ? std::string(value) : defaultValue;
}

int ofxXmlSettings::setValue(const std::string& tag, int value, int which) {
    return writeTag(tag, formatInt(value).c_str(), which) - 1;
}

int ofxXmlSettings::setValue(const std::string& tag, double value, int which) {
    return writeTag(tag, formatDouble(value).c_str(), which) - 1;
}

int ofxXmlSettings::setValue(const std::string& tag, const std::string& value, int which) {
    return writeTag(tag, value.c_str(), which) - 1;
}

int ofxXmlSettings::addValue(const std::string& tag, int value) {
    return writeTag(tag, formatInt(value).c_str(), -1) - 1;
}

int ofxXmlSettings::addValue(const std::string& tag, double value) {
    return writeTag(tag, formatDouble(value).c_str(), -1) - 1;
}

int ofxXmlSettings::addValue(const std::string& tag, const std::string& value) {
    return writeTag(tag, value.c_str(), -1) - 1;
}

int ofxXmlSettings::addTag(const std::string& tag) {
    return writeTag(tag, "", -1) - 1;
}

bool ofxXmlSettings::tagExists(const std::string& tag, int which) {
    std::vector<std::string> components = tokenize(tag, ":");
    if (components.empty()) return false;
    return walkPath(*currentHandle, components, std::max(which, 0)).ToElement() != nullptr;
}

int ofxXmlSettings::getNumTags(const std::string& tag) {
    return countChildElements(currentHandle->ToNode(), firstComponent(tag));
}

void ofxXmlSettings::clearTagContents(const std::string& tag, int which) {
    if (tagExists(tag, which)) setValue(tag, std::string(), which);
}

void ofxXmlSettings::removeTag(const std::string& tag, int which) {
    std::vector<std::string> components = tokenize(tag, ":");
    if (components.empty()) return;
    TiXmlElement* found = walkPath(*currentHandle, components, std::max(which, 0)).ToElement();
    if (found && found->Parent()) found->Parent()->RemoveChild(found);
}

void ofxXmlSettings::clear() {
    if (TiXmlNode* node = currentHandle->ToNode()) node->Clear();
}

bool ofxXmlSettings::pushTag(const std::string& tag, int which) {
    TiXmlHandle child = currentHandle->ChildElement(firstComponent(tag).c_str(), which);
    if (!child.ToElement()) {
        std::printf("pushTag - tag not found\n");
        return false;
    }
    *currentHandle = child;
    ++pushLevel;
    return true;
}

int ofxXmlSettings::popTag() {
    TiXmlNode* parent = currentHandle->ToNode() ? currentHandle->ToNode()->Parent() : nullptr;
    if (pushLevel < 2 || !parent) {
        *currentHandle = TiXmlHandle(this);
        pushLevel = 0;
    } else {
        *currentHandle = TiXmlHandle(parent);
        --pushLevel;
    }
    return pushLevel;
}

int ofxXmlSettings::getPushLevel() {
    return pushLevel;
}

std::vector<std::string> ofxXmlSettings::tokenize(const std::string& text, const std::string& delimiters) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        pieces.push_back(text);
        return pieces;
    }
    size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        size_t end = text.find_first_of(delimiters, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

bool ofxXmlSettings::readTag(const std::string& tag, char (&valueBuffer)[maxValueLength + 1], int which) {
    TiXmlText* text = walkPath(*currentHandle, tokenize(tag, ":"), which).Child(0).Text();
    if (!text) return false;
    std::strncpy(valueBuffer, text->Value(), maxValueLength);
    valueBuffer[maxValueLength] = '\0';
    return true;
}

// Walks the existing part of the path and builds the rest below where the walk
// stopped. Names the parser could not read back are refused, since one of them
// would make the whole saved file unloadable.
int ofxXmlSettings::writeTag(const std::string& tag, const char* valueString, int which) {
    std::vector<std::string> components = tokenize(tag, ":");
    if (components.empty() || !std::all_of(components.begin(), components.end(), isElementName)) {
        std::printf("ofxXmlSettings: cannot write \"%s\": not a path of element names\n", tag.c_str());
        return 0;
    }
    TiXmlHandle at = *currentHandle;
    size_t stop = components.size();
    for (size_t i = 0; i < components.size(); ++i) {
        bool appending = i == 0 && which == -1;
        TiXmlHandle next = at.ChildElement(components[i].c_str(), i == 0 ? which : 0);
        if (!next.ToElement() || appending) { stop = i; break; }
        at = next;
    }
    TiXmlNode* parent = at.ToNode();
    if (stop == components.size()) parent->Clear();     // an existing value and sub-elements go
    for (size_t k = stop; k < components.size(); ++k)
        parent = parent->LinkEndChild(new TiXmlElement(components[k].c_str()));
    parent->LinkEndChild(new TiXmlText(valueString));
    return countChildElements(currentHandle->ToNode(), components[0]);
}
