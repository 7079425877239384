-- The catalogue on the embedded server. Column order is part of the contract: rows are read
-- back with "select *" and stamped with checksums over their columns in table order.
-- Text columns compare case-insensitively in the Turkish manner (collation TR_CI) and refuse
-- values longer than their declared length (trailing blanks aside).

CREATE TABLE tbOrraCategory (
  ID int NOT NULL CONSTRAINT PK_tbOrraCategory PRIMARY KEY,
  ParentID int,
  Name char(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Name")) <= 50),
  Type char(1) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Type")) <= 1),
  Disabled bit,
  Owner varbinary(85),
  CheckSum int
);
CREATE UNIQUE INDEX "tbOrraCategory.IX_ParentID_Name_tbOrraCategory" ON tbOrraCategory (ParentID, Name);

CREATE TABLE tbOrraSQL (
  ID int NOT NULL CONSTRAINT PK_tbOrraSQL PRIMARY KEY,
  CategoryID int,
  Name char(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Name")) <= 50),
  Description char(1000) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Description")) <= 1000),
  Type char(1) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Type")) <= 1),
  Disabled bit,
  SQLtxt text COLLATE TR_CI,
  Owner varbinary(85),
  CheckSum int
);
CREATE UNIQUE INDEX "tbOrraSQL.IX_CategoryID_Name_tbOrraSQL" ON tbOrraSQL (CategoryID, Name);

CREATE TABLE tbOrraRelations (
  ObjID int NOT NULL,
  RelObjID int NOT NULL,
  CONSTRAINT FK_tbOrraRelations_tbOrraSQL1 FOREIGN KEY (ObjID) REFERENCES tbOrraSQL (ID)
    ON DELETE CASCADE ON UPDATE CASCADE,
  CONSTRAINT FK_tbOrraRelations_tbOrraSQL FOREIGN KEY (RelObjID) REFERENCES tbOrraSQL (ID)
);
CREATE INDEX "tbOrraRelations.IX_ObjID_tbOrraRelations" ON tbOrraRelations (ObjID);
CREATE INDEX "tbOrraRelations.IX_RelObjID_tbOrraRelations" ON tbOrraRelations (RelObjID);

CREATE TABLE tbOrraRepository (
  ID INTEGER NOT NULL CONSTRAINT PK_tbOrraRepository PRIMARY KEY AUTOINCREMENT,
  Tag char(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Tag")) <= 50),
  Name char(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Name")) <= 50),
  SQLTxt text COLLATE TR_CI
);

CREATE TABLE tbOrraCallSchema (
  ID INTEGER NOT NULL CONSTRAINT PK_tbOrraCallSchema PRIMARY KEY AUTOINCREMENT,
  DocID int NOT NULL,
  SchemaID int NOT NULL,
  Name char(50) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Name")) <= 50),
  Description char(1000) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Description")) <= 1000),
  CONSTRAINT FK_tbOrraCallSchema_tbOrraSQL FOREIGN KEY (DocID) REFERENCES tbOrraSQL (ID)
    ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE INDEX "tbOrraCallSchema.IX_DocID_tbOrraCallSchema" ON tbOrraCallSchema (DocID);

CREATE TABLE tbOrraCallSchemaDetail (
  ParentID int NOT NULL,
  ParamID varchar(500) COLLATE TR_CI NOT NULL
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("ParamID")) <= 500),
  ParamVal varchar(500) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("ParamVal")) <= 500),
  CONSTRAINT FK_tbOrraCallSchemaDetail_tbOrraCallSchema FOREIGN KEY (ParentID)
    REFERENCES tbOrraCallSchema (ID) ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE INDEX "tbOrraCallSchemaDetail.IX_ParentID_tbOrraCallSchemaDetail" ON tbOrraCallSchemaDetail (ParentID);

CREATE TABLE tbOrraDocPermissions (
  OrraID int,
  UserId int,
  Allow int,
  "Deny" int,
  CheckSum int
);
CREATE INDEX "tbOrraDocPermissions.IX_OrraID_tbOrraDocPermissions" ON tbOrraDocPermissions (OrraID, UserId);

CREATE TABLE tbOrraCategoryPermissions (
  CategoryID int,
  UserId int,
  Allow int,
  "Deny" int,
  CheckSum int
);
CREATE INDEX "tbOrraCategoryPermissions.IX_CategoryID_tbOrraCategoryPermissions" ON tbOrraCategoryPermissions (CategoryID, UserId);

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

-- Document locks taken by sp_UserLock: one row per locked document, naming the session
-- (process number and its log-in time, so that a session that has ended is recognised).
CREATE TABLE tbOrraLocks (
  DocID int NOT NULL CONSTRAINT PK_tbOrraLocks PRIMARY KEY,
  SPID int NOT NULL,
  LoginTime datetime NOT NULL,
  LoginName varchar(128) COLLATE TR_CI NOT NULL
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("LoginName")) <= 128),
  Program varchar(128) COLLATE TR_CI
    CONSTRAINT "String or binary data would be truncated." CHECK (length(rtrim("Program")) <= 128),
  LockTime datetime NOT NULL
);
