#pragma once

namespace foundation {

class JsonStreamWriter;

// One state of the stream writer's table: what separator goes before the
// next item, whether a key is due, and where to go after an item. States
// hold no data; each is a single shared instance.
class JsonStreamWriterState {
public:
    virtual ~JsonStreamWriterState() = default;

    // True (with the writer's error set) when nothing more may be written.
    virtual bool isInvalidState(JsonStreamWriter& writer) const;
    virtual void appendSeparator(JsonStreamWriter& writer) const;
    // True (with the writer's error set) when only a key may come next.
    virtual bool expectingKey(JsonStreamWriter& writer) const;
    virtual void transitionState(JsonStreamWriter& writer) const;
    // Human-readable form: a line feed and two spaces per open container.
    virtual void appendWhitespace(JsonStreamWriter& writer) const;
};

class JsonStreamWriterStateStart final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateStart& sharedInstance();
    void transitionState(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateComplete final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateComplete& sharedInstance();
    bool isInvalidState(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateObjectStart : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateObjectStart& sharedInstance();
    bool expectingKey(JsonStreamWriter& writer) const override;
    void transitionState(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateObjectKey final : public JsonStreamWriterStateObjectStart {
public:
    static const JsonStreamWriterStateObjectKey& sharedInstance();
    void appendSeparator(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateObjectValue final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateObjectValue& sharedInstance();
    void appendSeparator(JsonStreamWriter& writer) const override;
    void transitionState(JsonStreamWriter& writer) const override;
    void appendWhitespace(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateArrayStart final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateArrayStart& sharedInstance();
    void transitionState(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateArrayValue final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateArrayValue& sharedInstance();
    void appendSeparator(JsonStreamWriter& writer) const override;
};

class JsonStreamWriterStateError final : public JsonStreamWriterState {
public:
    static const JsonStreamWriterStateError& sharedInstance();
};

} // namespace foundation
