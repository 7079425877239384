-- The registry of data servers, read by the run-time as mat..tbOrraConnections.
CREATE TABLE tbOrraConnections (
  Server varchar(255) COLLATE TR_CI NOT NULL CONSTRAINT PK_tbOrraConnections PRIMARY KEY
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Server")) <= 255),
  IP varchar(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("IP")) <= 50),
  "Database" varchar(255) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Database")) <= 255),
  UserName varchar(255) COLLATE TR_CI NOT NULL
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("UserName")) <= 255),
  UserPwd varchar(100) COLLATE TR_CI NOT NULL
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("UserPwd")) <= 100)
);
