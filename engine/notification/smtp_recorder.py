"""An aiosmtpd handler for the mail tests: appends each message it receives,
with its envelope, to a file as one JSON object per line."""
import json


class Recorder:
    def __init__(self, path):
        self.path = path

    @classmethod
    def from_cli(cls, parser, *args):
        if len(args) != 1:
            parser.error("Recorder usage: OUTPUT_FILE")
        return cls(args[0])

    async def handle_DATA(self, server, session, envelope):
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            # After the server has undone the sender's dot doubling.
            "content": envelope.original_content.decode("latin-1"),
        }
        with open(self.path, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")
        return "250 Message accepted for delivery"
