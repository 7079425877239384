-- The catalogue on Microsoft SQL Server. Run in the catalogue database, e.g.
--   sqlcmd -S server -d catalogue -i catalogue.sql
-- Column order is part of the contract: rows are read back with "select *" and stamped with
-- checksums over their columns in table order. Text columns use the Turkish case-insensitive
-- collation, so the unique name indexes refuse names that differ only in case.

set nocount on
GO

create table tbOrraCategory (
  ID int not null constraint PK_tbOrraCategory primary key clustered,
  ParentID int null,
  Name char(50) collate Turkish_CI_AS null,
  Type char(1) collate Turkish_CI_AS null,
  Disabled bit null,
  Owner varbinary(85) null,
  CheckSum int null
)
GO
create unique index IX_ParentID_Name_tbOrraCategory on tbOrraCategory (ParentID, Name)
GO

create table tbOrraSQL (
  ID int not null constraint PK_tbOrraSQL primary key clustered,
  CategoryID int null,
  Name char(50) collate Turkish_CI_AS null,
  Description char(1000) collate Turkish_CI_AS null,
  Type char(1) collate Turkish_CI_AS null,
  Disabled bit null,
  SQLtxt text collate Turkish_CI_AS null,
  Owner varbinary(85) null,
  CheckSum int null
)
GO
create unique index IX_CategoryID_Name_tbOrraSQL on tbOrraSQL (CategoryID, Name)
GO

create table tbOrraRelations (
  ObjID int not null,
  RelObjID int not null,
  constraint FK_tbOrraRelations_tbOrraSQL1 foreign key (ObjID) references tbOrraSQL (ID)
    on delete cascade on update cascade,
  constraint FK_tbOrraRelations_tbOrraSQL foreign key (RelObjID) references tbOrraSQL (ID)
)
GO
create index IX_ObjID_tbOrraRelations on tbOrraRelations (ObjID)
GO
create index IX_RelObjID_tbOrraRelations on tbOrraRelations (RelObjID)
GO

create table tbOrraRepository (
  ID int identity(1,1) not null constraint PK_tbOrraRepository primary key clustered,
  Tag char(50) collate Turkish_CI_AS null,
  Name char(50) collate Turkish_CI_AS null,
  SQLTxt text collate Turkish_CI_AS null
)
GO

create table tbOrraCallSchema (
  ID int identity(1,1) not null constraint PK_tbOrraCallSchema primary key clustered,
  DocID int not null,
  SchemaID int not null,
  Name char(50) collate Turkish_CI_AS null,
  Description char(1000) collate Turkish_CI_AS null,
  constraint FK_tbOrraCallSchema_tbOrraSQL foreign key (DocID) references tbOrraSQL (ID)
    on delete cascade on update cascade
)
GO
create index IX_DocID_tbOrraCallSchema on tbOrraCallSchema (DocID)
GO

create table tbOrraCallSchemaDetail (
  ParentID int not null,
  ParamID varchar(500) collate Turkish_CI_AS not null,
  ParamVal varchar(500) collate Turkish_CI_AS null,
  constraint FK_tbOrraCallSchemaDetail_tbOrraCallSchema foreign key (ParentID)
    references tbOrraCallSchema (ID) on delete cascade on update cascade
)
GO
create index IX_ParentID_tbOrraCallSchemaDetail on tbOrraCallSchemaDetail (ParentID)
GO

create table tbOrraDocPermissions (
  OrraID int null,
  UserId int null,
  Allow int null,
  [Deny] int null,
  CheckSum int null
)
GO
create index IX_OrraID_tbOrraDocPermissions on tbOrraDocPermissions (OrraID, UserId)
GO

create table tbOrraCategoryPermissions (
  CategoryID int null,
  UserId int null,
  Allow int null,
  [Deny] int null,
  CheckSum int null
)
GO
create index IX_CategoryID_tbOrraCategoryPermissions on tbOrraCategoryPermissions (CategoryID, UserId)
GO

create table tbOrraConnections (
  Server varchar(255) collate Turkish_CI_AS not null constraint PK_tbOrraConnections primary key clustered,
  IP varchar(50) collate Turkish_CI_AS null,
  [Database] varchar(255) collate Turkish_CI_AS null,
  UserName varchar(255) collate Turkish_CI_AS not null,
  UserPwd varchar(100) collate Turkish_CI_AS not null
)
GO

-- Document locks taken by sp_UserLock: one row per locked document, naming the session by
-- its process number and log-in time, so that a lock of a session that has ended is known.
create table tbOrraLocks (
  DocID int not null constraint PK_tbOrraLocks primary key clustered,
  SPID int not null,
  LoginTime datetime not null,
  LoginName varchar(128) collate Turkish_CI_AS not null,
  Program varchar(128) collate Turkish_CI_AS null,
  LockTime datetime not null
)
GO

-- Two result sets: the documents (CatID, DocID, DocName, DocDisabled), then the categories
-- (ID, ParentID, Name, Disabled), every category after its parent. @CategoryID limits both
-- to the subtree of that category; 0 (the default) lists the whole catalogue.
create procedure sp_Orra_GetDocumentsAndCategories
  @CategoryID int = 0
as
begin
  set nocount on

  create table #Tree (ID int not null primary key, Depth int not null)

  if @CategoryID = 0
    insert into #Tree (ID, Depth) select ID, 0 from tbOrraCategory where ParentID = 0
  else
    insert into #Tree (ID, Depth) select ID, 0 from tbOrraCategory where ID = @CategoryID

  declare @depth int
  set @depth = 0
  while @@ROWCOUNT > 0
  begin
    set @depth = @depth + 1
    insert into #Tree (ID, Depth)
      select c.ID, @depth
      from tbOrraCategory c
      inner join #Tree t on c.ParentID = t.ID and t.Depth = @depth - 1
      where not exists (select 1 from #Tree x where x.ID = c.ID)
  end

  -- Categories whose parent is missing are listed last (whole catalogue only), so that
  -- nothing is hidden.
  if @CategoryID = 0
    insert into #Tree (ID, Depth)
      select c.ID, 2147483647 from tbOrraCategory c
      where not exists (select 1 from #Tree x where x.ID = c.ID)

  select s.CategoryID CatID, s.ID DocID, s.Name DocName, s.Disabled DocDisabled
  from tbOrraSQL s
  where @CategoryID = 0 or s.CategoryID in (select ID from #Tree)

  select c.ID, c.ParentID, c.Name, c.Disabled
  from tbOrraCategory c
  inner join #Tree t on t.ID = c.ID
  order by t.Depth, c.ID

  drop table #Tree
end
GO

-- sp_UserLock @LockXml, @Mode
-- @LockXml: <Document><Program Name=".." DB=".."/><Parameter Name="DocID" Value="n"/></Document>
-- @Mode 0 takes the lock of the document for the calling session. While another live
-- session holds it the call fails with an error naming the holder; the lock of a session
-- that has ended is taken over. @Mode 1 releases the lock if the calling session holds it.
create procedure sp_UserLock
  @LockXml varchar(8000),
  @Mode int
as
begin
  set nocount on
  declare @doc int, @program varchar(128), @handle int
  exec sp_xml_preparedocument @handle output, @LockXml
  select @doc = cast(Value as int) from openxml(@handle, '/Document/Parameter', 1)
    with (Name varchar(128), Value varchar(32)) where Name = 'DocID'
  select @program = Name from openxml(@handle, '/Document/Program', 1) with (Name varchar(128))
  exec sp_xml_removedocument @handle
  if @doc is null
  begin
    raiserror('sp_UserLock: the lock information is not valid.', 16, 1)
    return
  end

  declare @myLogin datetime
  select @myLogin = login_time from master..sysprocesses where spid = @@SPID

  if @Mode = 1
  begin
    delete tbOrraLocks where DocID = @doc and SPID = @@SPID and LoginTime = @myLogin
    return
  end

  begin transaction
  declare @spid int, @loginTime datetime, @holder varchar(128), @holderProgram varchar(128), @since datetime
  select @spid = SPID, @loginTime = LoginTime, @holder = LoginName, @holderProgram = Program, @since = LockTime
  from tbOrraLocks with (updlock, holdlock) where DocID = @doc

  if @spid is not null and not (@spid = @@SPID and @loginTime = @myLogin)
     and exists (select 1 from master..sysprocesses where spid = @spid and login_time = @loginTime)
  begin
    rollback transaction
    declare @message varchar(400)
    set @message = 'The document ' + cast(@doc as varchar(12)) + ' is locked by ''' + rtrim(@holder)
      + ''' (process ' + cast(@spid as varchar(12))
      + case when isnull(@holderProgram, '') = '' then '' else ', ' + rtrim(@holderProgram) end
      + ') since ' + convert(varchar(19), @since, 120) + '.'
    raiserror(@message, 16, 1)
    return
  end

  delete tbOrraLocks where DocID = @doc
  insert into tbOrraLocks (DocID, SPID, LoginTime, LoginName, Program, LockTime)
  values (@doc, @@SPID, @myLogin, suser_sname(), @program, getdate())
  commit transaction
end
GO
